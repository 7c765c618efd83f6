#include "windows/Unit7.h"

namespace velomaris {

TForm7::TForm7(TApplication& app) : TResultForm(app, "Form7", "网站主页转换成功【单页更新】") {}

}  // namespace velomaris
