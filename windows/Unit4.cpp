#include "windows/Unit4.h"

namespace velomaris {

TForm4::TForm4(TApplication& app)
    : TForm(app, "Form4", "网站更新设置"),
      sPageControl1(this, "sPageControl1", {"差异更新", "定时更新"}) {}

}  // namespace velomaris
