// Start-up settings window: which update mode starts by itself when the program is launched,
// and whether the desktop session starts the program when the user logs in.
#pragma once

#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

namespace velomaris {

class TForm9 : public TForm {
public:
    explicit TForm9(TApplication& app);

    TCheckBox sCheckBox1;        // "软件随系统一起启动"
    TRadioButton sRadioButton1;  // start the differential update on launch
    TRadioButton sRadioButton2;  // start the timed update on launch
    TRadioButton sRadioButton3;  // "全部不启动"
    TButton sBitBtn1;            // "保存设置"
    TButton sBitBtn2;            // "关闭"

    // The controls in the order the Tab key visits them.
    std::vector<TControl*> TabOrder();

    // Selects one of the three radio buttons and clears the other two (one group).
    void SelectRadioButton(TRadioButton& button);

    void FormShow();
    void sBitBtn1Click();  // saves
    void sBitBtn2Click();  // closes
};

}  // namespace velomaris
