#include "windows/Unit2.h"

namespace velomaris {

TForm2::TForm2(TApplication& app)
    : TForm(app, "Form2", "FTP/网站主页名称设置"),
      sPageControl1(this, "sPageControl1", {"FTP信息设置", "网站主页设置"}) {}

}  // namespace velomaris
