// The common content of the three result windows: a conversion succeeded, here is where the new
// static page can be seen, and when it was made.
#pragma once

#include <string>

#include "platform/Clock.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

namespace velomaris {

class TResultForm : public TForm {
public:
    // The workflow sets sLabel2 and sLabel4 before it shows the window.
    TLabel sLabel1;    // "您好，动态主页转静态主页已经成功！！"
    TLabel sLabel3;    // "您可以访问以下网站查看，转换是否正确"
    TLabel sLabel2;    // the site's address
    TLabel sLabel4;    // the address of the uploaded static page
    TLabel sLabel5;    // "转换时间：" and the local time of the showing
    TButton sBitBtn1;  // "关闭"

    void FormShow();
    void sLabel2Click();
    void sLabel4Click();
    void sBitBtn1Click();

protected:
    TResultForm(TApplication& app, std::string name, std::string caption);
};

// "YYYY-MM-DD HH:MM:SS" with leading zeros.
std::string FormatDateTime(const TDateTimeParts& time);

}  // namespace velomaris
