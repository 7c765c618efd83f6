#include "windows/Unit3.h"

namespace velomaris {

TForm3::TForm3(TApplication& app)
    : TForm(app, "Form3", "在线帮助"),
      sPageControl1(this, "sPageControl1", {"在线升级", "在线帮助"}) {
    // The window first opens on the help tab; later it keeps the tab the user chose.
    sPageControl1.SetActivePageIndex(1);
}

}  // namespace velomaris
