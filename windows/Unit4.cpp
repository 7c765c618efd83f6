#include "windows/Unit4.h"

#include <cstdint>
#include <limits>
#include <string>

#include "platform/Text.h"
#include "platform/ui/Application.h"
#include "settings/ProfileFile.h"
#include "windows/SetFileSections.h"

namespace velomaris {

namespace {

constexpr char kDiffTitle[] = "差异更新";
constexpr char kTimeTitle[] = "定时更新";
constexpr std::int32_t kMillisecondsPerMinute = 60000;

// "00", "01", ... up to last, or "1" ... up to last without padding.
std::vector<std::string> NumberItems(int first, int last, bool twoDigits) {
    std::vector<std::string> items;
    for (int i = first; i <= last; ++i) {
        items.push_back((twoDigits && i < 10 ? "0" : "") + std::to_string(i));
    }
    return items;
}

// Keys the time boxes take: the digits of the first place of an hour or a minute only.
void KeepBackspaceAnd(char& key, char lastDigit) {
    if (key != kBackspaceKey && (key < '0' || key > lastDigit)) {
        key = '\0';
    }
}

}  // namespace

TForm4::TForm4(TApplication& app, TButton& mainReload)
    : TForm(app, "Form4", "网站更新设置"),
      sPageControl1(this, "sPageControl1", {"差异更新", "定时更新"}),
      sLabel1(this, "sLabel1", "间隔比较时间："),
      sComboBox3(this, "sComboBox3"),
      sLabel2(this, "sLabel2", "分"),
      sLabel3(this, "sLabel3",
              "差异更新，软件会每隔一段时间去比较动态主页是否有更新的情况，如果有更新，"
              "则马上进行转换操作,并把转换好的文件上传到服务器上。以便他人能浏览到最新的信息。"),
      sBitBtn2(this, "sBitBtn2", "保存设置"),
      sBitBtn1(this, "sBitBtn1", "关闭"),
      sLabel4(this, "sLabel4", "每天："),
      sComboBox1(this, "sComboBox1"),
      sLabel5(this, "sLabel5", "时"),
      sComboBox2(this, "sComboBox2"),
      sLabel6(this, "sLabel6", "分"),
      sLabel7(this, "sLabel7",
              "定时更新，软件会您设置的时间里面去转换动态主页，,并把转换好的文件上传到服务器上。"
              "以便他人能浏览到最新的信息。"),
      sBitBtn4(this, "sBitBtn4", "保存设置"),
      sBitBtn3(this, "sBitBtn3", "关闭"),
      mainReload_(mainReload) {
    sComboBox3.SetItems(NumberItems(1, 60, false));
    sComboBox3.SetMaxLength(2);
    sComboBox1.SetItems(NumberItems(0, 23, true));
    sComboBox2.SetItems(NumberItems(0, 59, true));

    OnShow = [this] { FormShow(); };
    sComboBox3.OnKeyPress = [this](char& key) { sComboBox3KeyPress(key); };
    sComboBox1.OnKeyPress = [this](char& key) { sComboBox1KeyPress(key); };
    sComboBox2.OnKeyPress = [this](char& key) { sComboBox2KeyPress(key); };
    sBitBtn2.OnClick = [this] { sBitBtn2Click(); };
    sBitBtn4.OnClick = [this] { sBitBtn4Click(); };
    sBitBtn1.OnClick = [this] { sBitBtn1Click(); };
    sBitBtn3.OnClick = [this] { sBitBtn3Click(); };
}

std::vector<TControl*> TForm4::TabOrder(int tab) {
    if (tab == 0) {
        return {&sComboBox3, &sBitBtn2, &sBitBtn1};
    }
    return {&sComboBox1, &sComboBox2, &sBitBtn4, &sBitBtn3};
}

void TForm4::FormShow() {
    const TProfileFile profile(SettingsFilePath());
    // Whole minutes: the division drops the fraction, so 90000 ms shows as "1".
    const std::int32_t period = profile.ReadInteger(kSectionStartup, "difftime", 60000);
    sComboBox3.SetText(IntToStr(period / kMillisecondsPerMinute));
    // "HH-MM": the hour box takes the first two bytes, the minute box the last two, whatever
    // lies between them.
    const std::string time = profile.ReadString(kSectionStartup, "timingtime", "00");
    sComboBox1.SetText(time.substr(0, 2));
    sComboBox2.SetText(time.substr(time.size() < 2 ? 0 : time.size() - 2));
}

void TForm4::sComboBox3KeyPress(char& key) {
    KeepBackspaceAnd(key, '9');
}

void TForm4::sComboBox1KeyPress(char& key) {
    KeepBackspaceAnd(key, '6');
}

void TForm4::sComboBox2KeyPress(char& key) {
    KeepBackspaceAnd(key, '6');
}

void TForm4::sBitBtn2Click() {
    try {
        const std::int64_t period =
            std::int64_t{StrToInt(sComboBox3.Text())} * kMillisecondsPerMinute;
        // A period that does not fit the stored 32-bit value would wrap into a different one.
        if (period > std::numeric_limits<std::int32_t>::max() ||
            period < std::numeric_limits<std::int32_t>::min()) {
            throw EConvertError("'" + sComboBox3.Text() + "' minutes is out of range");
        }
        TProfileFile(SettingsFilePath())
            .WriteInteger(kSectionStartup, "difftime", static_cast<std::int32_t>(period));
        // The main window takes the new period before the box is shown.
        mainReload_.Click();
        Application().MessageBox("差异更新信息保存成功", kDiffTitle, TMessageBoxIcon::mbWarning);
    } catch (const std::exception&) {
        Application().MessageBox(
            "差异更新信息保存失败，请检查间隔时间是否正确，以及是否缺少必要的文件", kDiffTitle,
            TMessageBoxIcon::mbError);
    }
}

void TForm4::sBitBtn4Click() {
    // Outside the guard: a text that is no number reaches the general error report, and
    // nothing has been written.
    if (StrToInt(sComboBox1.Text()) > 23) {
        sComboBox1.SetText("23");
    }
    if (StrToInt(sComboBox2.Text()) > 59) {
        sComboBox2.SetText("59");
    }
    try {
        // Written as the boxes hold them: no leading zero is added.
        TProfileFile(SettingsFilePath())
            .WriteString(kSectionStartup, "timingtime",
                         sComboBox1.Text() + "-" + sComboBox2.Text());
        mainReload_.Click();
        Application().MessageBox("定时更新信息保存成功", kTimeTitle, TMessageBoxIcon::mbWarning);
    } catch (const std::exception&) {
        Application().MessageBox("定时更新信息保存失败，请检查是否缺少必要的文件", kTimeTitle,
                                 TMessageBoxIcon::mbError);
    }
}

void TForm4::sBitBtn1Click() {
    Hide();
}

void TForm4::sBitBtn3Click() {
    Hide();
}

}  // namespace velomaris
