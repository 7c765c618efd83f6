#include "windows/Unit9.h"

namespace velomaris {

TForm9::TForm9(TApplication& app) : TForm(app, "Form9", "软件启动设置") {}

}  // namespace velomaris
