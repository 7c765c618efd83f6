#include "windows/Unit8.h"

namespace velomaris {

TForm8::TForm8(TApplication& app) : TResultForm(app, "Form8", "网站主页转换成功【定时更新】") {}

}  // namespace velomaris
