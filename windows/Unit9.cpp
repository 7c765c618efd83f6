#include "windows/Unit9.h"

#include "platform/shell/Autorun.h"
#include "platform/shell/ExecutablePath.h"
#include "platform/ui/Application.h"
#include "settings/ProfileFile.h"
#include "windows/SetFileSections.h"

namespace velomaris {

namespace {

constexpr char kTitle[] = "软件启动设置";

}  // namespace

TForm9::TForm9(TApplication& app)
    : TForm(app, "Form9", kTitle),
      sCheckBox1(this, "sCheckBox1", "软件随系统一起启动"),
      sRadioButton1(this, "sRadioButton1", "软件启动时自动启动[差异更新]"),
      sRadioButton2(this, "sRadioButton2", "软件启动时自动启动[定时更新]"),
      sRadioButton3(this, "sRadioButton3", "全部不启动"),
      sBitBtn1(this, "sBitBtn1", "保存设置"),
      sBitBtn2(this, "sBitBtn2", "关闭") {
    sRadioButton3.SetChecked(true);
    OnShow = [this] { FormShow(); };
    sCheckBox1.OnClick = [this] { sCheckBox1.SetChecked(!sCheckBox1.Checked()); };
    sRadioButton1.OnClick = [this] { SelectRadioButton(sRadioButton1); };
    sRadioButton2.OnClick = [this] { SelectRadioButton(sRadioButton2); };
    sRadioButton3.OnClick = [this] { SelectRadioButton(sRadioButton3); };
    sBitBtn1.OnClick = [this] { sBitBtn1Click(); };
    sBitBtn2.OnClick = [this] { sBitBtn2Click(); };
}

std::vector<TControl*> TForm9::TabOrder() {
    return {&sCheckBox1, &sRadioButton1, &sRadioButton2, &sRadioButton3, &sBitBtn1, &sBitBtn2};
}

void TForm9::SelectRadioButton(TRadioButton& button) {
    for (TRadioButton* each : {&sRadioButton1, &sRadioButton2, &sRadioButton3}) {
        each->SetChecked(each == &button);
    }
}

void TForm9::FormShow() {
    const TProfileFile profile(SettingsFilePath());
    // Only exactly "1" counts as set ("01" or "yes" do not).
    sCheckBox1.SetChecked(profile.ReadString(kSectionAutoStart, "soft", "0") == "1");
    if (profile.ReadString(kSectionAutoStart, "diff", "0") == "1") {
        SelectRadioButton(sRadioButton1);
    } else if (profile.ReadString(kSectionAutoStart, "time", "0") == "1") {
        SelectRadioButton(sRadioButton2);
    } else {
        SelectRadioButton(sRadioButton3);
    }
}

void TForm9::sBitBtn1Click() {
    try {
        const TProfileFile profile(SettingsFilePath());
        profile.WriteString(kSectionAutoStart, "diff", sRadioButton1.Checked() ? "1" : "0");
        profile.WriteString(kSectionAutoStart, "time", sRadioButton2.Checked() ? "1" : "0");
        // The autorun entry is named after the main window's caption, which never changes.
        TForm* mainForm = Application().MainForm();
        if (mainForm == nullptr) {
            throw Exception("There is no main window to name the autostart entry after");
        }
        if (sCheckBox1.Checked()) {
            // "soft" is written first: when the entry then can't be written, the window shows
            // the box ticked next time although nothing starts at log-in.
            profile.WriteString(kSectionAutoStart, "soft", "1");
            SetRunValue(mainForm->Caption(), ExecutablePath());
        } else {
            profile.WriteString(kSectionAutoStart, "soft", "0");
            // A failed or needless removal is not reported: the save still succeeds.
            DeleteRunValue(mainForm->Caption());
        }
        Application().MessageBox("信息保存成功", kTitle, TMessageBoxIcon::mbWarning);
    } catch (const std::exception&) {
        Application().MessageBox("信息保存失败，请检查是否缺少必要的文件", kTitle,
                                 TMessageBoxIcon::mbError);
    }
}

void TForm9::sBitBtn2Click() {
    Hide();
}

}  // namespace velomaris
