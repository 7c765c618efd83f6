#include "windows/Unit2.h"

#include "platform/Text.h"
#include "platform/ui/Application.h"
#include "settings/PasswordCodec.h"
#include "settings/ProfileFile.h"
#include "windows/SecureFtpSettings.h"
#include "windows/SetFileSections.h"

namespace velomaris {

namespace {

constexpr char kTitle[] = "提示";
constexpr char kSaved[] = "信息保存成功";
constexpr char kSaveFailed[] = "信息保存失败,请检查是否缺少必要的文件";

}  // namespace

TForm2::TForm2(TApplication& app, TButton& mainReload)
    : TForm(app, "Form2", "FTP/网站主页名称设置"),
      sPageControl1(this, "sPageControl1", {"FTP信息设置", "网站主页设置"}),
      sLabel1(this, "sLabel1", "FTP地址："),
      sEdit1(this, "sEdit1"),
      sLabel2(this, "sLabel2", "FTP用户名称："),
      sEdit2(this, "sEdit2"),
      sLabel3(this, "sLabel3", "FTP密码："),
      sEdit3(this, "sEdit3"),
      sLabel4(this, "sLabel4", "FTP目录："),
      sEdit4(this, "sEdit4"),
      sLabel5(this, "sLabel5",
              "请认真填写【FTP目录】，此目录应该是放网站的根目录，软件把网站主页转成静态后，"
              "会自动上传到此目录。比如：myweb"),
      sBitBtn1(this, "sBitBtn1", "保存"),
      sBitBtn2(this, "sBitBtn2", "关闭"),
      sCheckBox1(this, "sCheckBox1", "使用被动模式(PASV)"),
      sCheckBox2(this, "sCheckBox2", "使用加密连接(FTPS)"),
      sLabel11(this, "sLabel11", "证书指纹"),
      sEdit7(this, "sEdit7"),
      sLabel6(this, "sLabel6", "网站主页名称："),
      sEdit5(this, "sEdit5"),
      sLabel7(this, "sLabel7", "网站动态主页地址："),
      sEdit6(this, "sEdit6"),
      sLabel8(this, "sLabel8",
              "请认真填写【网站主页名称】，软件把网站主页转成静态后，将以这个名称命名文件，"
              "并把此文件上传到FTP指定的目录。此文件名称应该是您网站的默认主页名称。"
              "输入主页名称时，请不要输入任何扩展名。比如："),
      sLabel9(this, "sLabel9", "网站主页名称：index"),
      sLabel10(this, "sLabel10", "网站主页地址:http://www.example.com/main.aspx"),
      sBitBtn3(this, "sBitBtn3", "保存"),
      sBitBtn4(this, "sBitBtn4", "关闭"),
      mainReload_(mainReload) {
    sEdit3.SetPasswordChar('*');
    OnShow = [this] { FormShow(); };
    sBitBtn1.OnClick = [this] { sBitBtn1Click(); };
    sBitBtn2.OnClick = [this] { sBitBtn2Click(); };
    sBitBtn3.OnClick = [this] { sBitBtn3Click(); };
    sBitBtn4.OnClick = [this] { sBitBtn4Click(); };
}

std::vector<TControl*> TForm2::TabOrder(int tab) {
    if (tab == 0) {
        return {&sEdit1,     &sEdit2, &sEdit3,   &sEdit4,  &sCheckBox1,
                &sCheckBox2, &sEdit7, &sBitBtn1, &sBitBtn2};
    }
    return {&sEdit5, &sEdit6, &sBitBtn3, &sBitBtn4};
}

void TForm2::FormShow() {
    // Both tabs are filled whichever is on top; each reader passes this window's own defaults.
    const TProfileFile profile(SettingsFilePath());
    sEdit1.SetText(profile.ReadString(kSectionFtp, "ftpaddr", "127.0.0.1"));
    sEdit2.SetText(profile.ReadString(kSectionFtp, "ftpuser", "kq"));
    sEdit3.SetText(DecodePassword(profile.ReadString(kSectionFtp, "ftppass", "kq")));
    sEdit4.SetText(profile.ReadString(kSectionFtp, "ftpdir", "kq"));
    const TSecureFtpSettings secure = ReadSecureFtpSettings(profile);
    sCheckBox1.SetChecked(secure.passive);
    sCheckBox2.SetChecked(secure.tls);
    sEdit7.SetText(secure.certificatePin);
    sEdit5.SetText(profile.ReadString(kSectionWeb, "webfile", "kq"));
    sEdit6.SetText(profile.ReadString(kSectionWeb, "webmain", "kq"));
}

void TForm2::sBitBtn1Click() {
    // The password is stored exactly as typed: blanks at its ends may belong to it.
    const std::string stored = EncodePassword(sEdit3.Text());
    try {
        const TProfileFile profile(SettingsFilePath());
        profile.WriteString(kSectionFtp, "ftpaddr", Trim(sEdit1.Text()));
        profile.WriteString(kSectionFtp, "ftpuser", Trim(sEdit2.Text()));
        profile.WriteString(kSectionFtp, "ftppass", stored);
        profile.WriteString(kSectionFtp, "ftpdir", Trim(sEdit4.Text()));
        WriteSecureFtpSettings(profile,
                               {sCheckBox1.Checked(), sCheckBox2.Checked(), Trim(sEdit7.Text())});
        // The main window keeps its old values until the box is closed.
        Application().MessageBox(kSaved, kTitle, TMessageBoxIcon::mbWarning);
        mainReload_.Click();
    } catch (const std::exception&) {
        // The window's own message stands for every failure of the save; values written
        // before it stay in the file.
        Application().MessageBox(kSaveFailed, kTitle, TMessageBoxIcon::mbError);
    }
}

void TForm2::sBitBtn3Click() {
    try {
        const TProfileFile profile(SettingsFilePath());
        profile.WriteString(kSectionWeb, "webfile", Trim(sEdit5.Text()));
        profile.WriteString(kSectionWeb, "webmain", Trim(sEdit6.Text()));
        Application().MessageBox(kSaved, kTitle, TMessageBoxIcon::mbWarning);
        mainReload_.Click();
    } catch (const std::exception&) {
        Application().MessageBox(kSaveFailed, kTitle, TMessageBoxIcon::mbError);
    }
}

void TForm2::sBitBtn2Click() {
    Hide();
}

void TForm2::sBitBtn4Click() {
    Hide();
}

}  // namespace velomaris
