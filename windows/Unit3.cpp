#include "windows/Unit3.h"

#include <string>

#include "platform/shell/OpenAddress.h"

namespace velomaris {

namespace {

// The lines every help text ends with: the request to leave a contact, the site and the mail.
std::string ContactLines() {
    return std::string("\r\n请您留下正确的联系方式，以便软件升级好后能及时的发送给您。\r\n") +
           "官方网站：" + kAuthorSiteAddress + " \r\n" + "邮   箱：" + kAuthorEmail;
}

}  // namespace

TForm3::TForm3(TApplication& app)
    : TForm(app, "Form3", "在线帮助"),
      sPageControl1(this, "sPageControl1", {"在线升级", "在线帮助"}),
      sLabel1(this, "sLabel1",
              "如果你需要增加软件的功能或者修改软件的一些功能的话，请发送邮件给作者，"
              "作者会根据您的要求进行相应的增加或者修改软件功能。" +
                  ContactLines()),
      sLabel4(this, "sLabel4", kAuthorSiteAddress),
      sLabel2(this, "sLabel2",
              "如果本软件里有哪个功能不能使用或者使用起来不方便的话，请发送邮件给作者，"
              "作者会根据您的要求进行相应的增加或者修改软件功能。" +
                  ContactLines()),
      sLabel3(this, "sLabel3", kAuthorSiteAddress) {
    // The window first opens on the help tab; later it keeps the tab the user chose.
    sPageControl1.SetActivePageIndex(1);
    for (TLabel* link : {&sLabel3, &sLabel4}) {
        link->SetHint("马上访问官方网站");
        link->SetCursor(TCursor::crHandPoint);
    }
    sLabel3.OnClick = [this] { sLabel3Click(); };
    sLabel4.OnClick = [this] { sLabel4Click(); };
}

void TForm3::sLabel3Click() {
    OpenAddress(kAuthorSiteAddress);
}

void TForm3::sLabel4Click() {
    OpenAddress(kAuthorSiteAddress);
}

}  // namespace velomaris
