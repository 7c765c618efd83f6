#include "windows/Unit5.h"

namespace velomaris {

TForm5::TForm5(TApplication& app) : TResultForm(app, "Form5", "网站主页转换成功【差异更新】") {}

}  // namespace velomaris
