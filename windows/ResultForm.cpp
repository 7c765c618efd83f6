#include "windows/ResultForm.h"

#include <cstdio>

#include "platform/shell/OpenAddress.h"
#include "platform/ui/Application.h"

namespace velomaris {

TResultForm::TResultForm(TApplication& app, std::string name, std::string caption)
    : TForm(app, std::move(name), std::move(caption)),
      sLabel1(this, "sLabel1", "您好，动态主页转静态主页已经成功！！"),
      sLabel3(this, "sLabel3", "您可以访问以下网站查看，转换是否正确"),
      sLabel2(this, "sLabel2"),
      sLabel4(this, "sLabel4"),
      sLabel5(this, "sLabel5"),
      sBitBtn1(this, "sBitBtn1", "关闭") {
    // The addresses are links, in all three windows.
    sLabel2.SetCursor(TCursor::crHandPoint);
    sLabel4.SetCursor(TCursor::crHandPoint);
    OnShow = [this] { FormShow(); };
    sLabel2.OnClick = [this] { sLabel2Click(); };
    sLabel4.OnClick = [this] { sLabel4Click(); };
    sBitBtn1.OnClick = [this] { sBitBtn1Click(); };
}

void TResultForm::FormShow() {
    // Only when the window becomes visible: shown again while open, it keeps the time of the
    // earlier showing.
    sLabel5.SetCaption("转换时间：" + FormatDateTime(Application().GetClock().LocalNow()));
}

void TResultForm::sLabel2Click() {
    // Opening is best effort: a missing browser is nothing this window could mend.
    OpenAddress(sLabel2.Caption());
}

void TResultForm::sLabel4Click() {
    OpenAddress(sLabel4.Caption());
}

void TResultForm::sBitBtn1Click() {
    Hide();
}

std::string FormatDateTime(const TDateTimeParts& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second);
    return text;
}

}  // namespace velomaris
