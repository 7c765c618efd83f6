// Update settings window: the period of the differential update (in minutes) and the time of
// day of the timed update, each tab saved on its own, after which the main window re-reads
// its settings.
#pragma once

#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

namespace velomaris {

class TForm4 : public TForm {
public:
    // mainReload is the main window's hidden reload button, clicked after each save.
    TForm4(TApplication& app, TButton& mainReload);

    TPageControl sPageControl1;

    // Tab "差异更新".
    TLabel sLabel1;        // "间隔比较时间："
    TComboBox sComboBox3;  // minutes, "1" to "60", at most 2 characters
    TLabel sLabel2;        // "分"
    TLabel sLabel3;        // what the differential update does
    TButton sBitBtn2;      // "保存设置"
    TButton sBitBtn1;      // "关闭"

    // Tab "定时更新".
    TLabel sLabel4;        // "每天："
    TComboBox sComboBox1;  // hour, "00" to "23"
    TLabel sLabel5;        // "时"
    TComboBox sComboBox2;  // minute, "00" to "59"
    TLabel sLabel6;        // "分"
    TLabel sLabel7;        // what the timed update does
    TButton sBitBtn4;      // "保存设置"
    TButton sBitBtn3;      // "关闭"

    // The controls of a tab (0: differential, 1: timed) in the order the Tab key visits them.
    std::vector<TControl*> TabOrder(int tab);

    void FormShow();
    void sComboBox3KeyPress(char& key);
    void sComboBox1KeyPress(char& key);
    void sComboBox2KeyPress(char& key);
    void sBitBtn2Click();  // saves the interval
    void sBitBtn4Click();  // saves the time of day
    void sBitBtn1Click();  // closes
    void sBitBtn3Click();  // closes

private:
    TButton& mainReload_;
};

}  // namespace velomaris
