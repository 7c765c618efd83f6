// The FTP and site settings window TForm2.
#include "windows/Unit2.h"

#include <sys/stat.h>

#include "platform/Text.h"
#include "settings/PasswordCodec.h"
#include "tests/windows/WindowTestFixture.h"
#include "windows/SetFileSections.h"

namespace velomaris {
namespace {

const TMessageBoxRecord kSaved = Box("信息保存成功", "提示", TMessageBoxIcon::mbWarning);
const TMessageBoxRecord kFailed =
    Box("信息保存失败,请检查是否缺少必要的文件", "提示", TMessageBoxIcon::mbError);

class SettingsWindowTest : public WindowTest {
protected:
    TForm2& form = harness.App().CreateForm<TForm2>(reload);
};

TEST_F(SettingsWindowTest, TheWindowHoldsItsTabsBoxesNotesAndButtonsInTabOrder) {
    EXPECT_EQ(form.Caption(), "FTP/网站主页名称设置");
    EXPECT_EQ(form.sPageControl1.PageCaption(0), "FTP信息设置");
    EXPECT_EQ(form.sPageControl1.PageCaption(1), "网站主页设置");
    EXPECT_EQ(Names(form.TabOrder(0)),
              (std::vector<std::string>{"sEdit1", "sEdit2", "sEdit3", "sEdit4", "sCheckBox1",
                                        "sCheckBox2", "sEdit7", "sBitBtn1", "sBitBtn2"}));
    EXPECT_EQ(Names(form.TabOrder(1)),
              (std::vector<std::string>{"sEdit5", "sEdit6", "sBitBtn3", "sBitBtn4"}));
    EXPECT_EQ(form.sEdit3.PasswordChar(), '*');
    EXPECT_EQ(form.sEdit1.PasswordChar(), '\0');
    const std::vector<std::pair<TControl*, std::string>> captions = {
        {&form.sLabel1, "FTP地址："},
        {&form.sLabel2, "FTP用户名称："},
        {&form.sLabel3, "FTP密码："},
        {&form.sLabel4, "FTP目录："},
        {&form.sLabel5,
         "请认真填写【FTP目录】，此目录应该是放网站的根目录，软件把网站主页转成静态后，会自动上传到"
         "此目录。比如：myweb"},
        {&form.sCheckBox1, "使用被动模式(PASV)"},
        {&form.sCheckBox2, "使用加密连接(FTPS)"},
        {&form.sLabel11, "证书指纹"},
        {&form.sBitBtn1, "保存"},
        {&form.sBitBtn2, "关闭"},
        {&form.sLabel6, "网站主页名称："},
        {&form.sLabel7, "网站动态主页地址："},
        {&form.sLabel8,
         "请认真填写【网站主页名称】，软件把网站主页转成静态后，将以这个名称命名文件，并把此文件上"
         "传到FTP指定的目录。此文件名称应该是您网站的默认主页名称。输入主页名称时，请不要输入任何"
         "扩展名。比如："},
        {&form.sLabel9, "网站主页名称：index"},
        {&form.sBitBtn3, "保存"},
        {&form.sBitBtn4, "关闭"},
    };
    for (const auto& [control, caption] : captions) {
        EXPECT_EQ(control->Caption(), caption) << control->Name();
    }
    const std::string example = form.sLabel10.Caption();
    EXPECT_EQ(example.rfind("网站主页地址:http://", 0), 0u);
    EXPECT_EQ(example.substr(example.size() - 10), "/main.aspx");
}

TEST_F(SettingsWindowTest, ShowingWithoutASettingsFileFillsTheWindowsOwnDefaults) {
    form.sEdit3.SetText("left over");
    form.Show();
    EXPECT_EQ(form.sEdit1.Text(), "127.0.0.1");
    EXPECT_EQ(form.sEdit2.Text(), "kq");
    EXPECT_EQ(form.sEdit3.Text(), "");  // the two-byte default decodes to no password
    EXPECT_EQ(form.sEdit4.Text(), "kq");
    EXPECT_EQ(form.sEdit5.Text(), "kq");
    EXPECT_EQ(form.sEdit6.Text(), "kq");
    EXPECT_FALSE(FileExists(SettingsFile())) << "showing never creates the file";
}

TEST_F(SettingsWindowTest, ShowingFillsBothTabsOnlyWhenTheWindowBecomesVisible) {
    Write(kSectionFtp, "ftpaddr", "ftp.example.net");
    Write(kSectionFtp, "ftpuser", "用户");
    Write(kSectionFtp, "ftppass", EncodePassword(" 密 码;= "));
    Write(kSectionFtp, "ftpdir", "");
    Write(kSectionWeb, "webfile", "home");
    Write(kSectionWeb, "webmain", "http://host/dir/main.aspx");
    form.sPageControl1.SetActivePageIndex(1);
    form.Show();
    EXPECT_EQ(form.sEdit1.Text(), "ftp.example.net");
    EXPECT_EQ(form.sEdit2.Text(), "用户");
    EXPECT_EQ(form.sEdit3.Text(), " 密 码;= ");
    EXPECT_EQ(form.sEdit4.Text(), "") << "an empty value is no missing key";
    EXPECT_EQ(form.sEdit5.Text(), "home");
    EXPECT_EQ(form.sEdit6.Text(), "http://host/dir/main.aspx");

    // Shown again while visible (a menu item switching the tab): the boxes keep their edits.
    form.sEdit1.SetText("edited");
    form.Show();
    EXPECT_EQ(form.sEdit1.Text(), "edited");
    form.sBitBtn2.Click();
    EXPECT_FALSE(form.Visible());
    form.Show();
    EXPECT_EQ(form.sEdit1.Text(), "ftp.example.net");
}

TEST_F(SettingsWindowTest, SavingTheFtpTabCreatesTheSectionWithItsKeysInOrder) {
    form.Show();
    form.sEdit1.SetText("  ftp.example.net\t");
    form.sEdit2.SetText("\x01 user \r\n");
    form.sEdit3.SetText(" pass word ");
    form.sEdit4.SetText(" www ");
    form.sBitBtn1.Click();
    EXPECT_EQ(events, (std::vector<std::string>{"box 信息保存成功", "reload"}))
        << "the main window reloads only after the box is closed";
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kSaved});

    EXPECT_EQ(Read(kSectionFtp, "ftpaddr"), "ftp.example.net");
    EXPECT_EQ(Read(kSectionFtp, "ftpuser"), "user");
    EXPECT_EQ(Read(kSectionFtp, "ftpdir"), "www");
    const std::string stored = Read(kSectionFtp, "ftppass");
    EXPECT_EQ(stored.size(), std::string(" pass word ").size() + 16);
    EXPECT_EQ(DecodePassword(stored), " pass word ") << "the password keeps its blanks";

    // One section, four keys, in the order they were written.
    const std::string file = FileBytes();
    EXPECT_EQ(file.rfind("[FTP参数]\r\nftpaddr=ftp.example.net\r\nftpuser=user\r\nftppass=", 0),
              0u);
    EXPECT_TRUE(file.ends_with("\r\nftpdir=www\r\n")) << GbkToUtf8(file);
    EXPECT_EQ(file.find("[WEB参数]"), std::string::npos);
}

TEST_F(SettingsWindowTest, PassiveTlsAndPinAreLoadedAndSavedWithTheFtpValues) {
    // Only "1" switches a mode on.
    const std::pair<std::string, bool> values[] = {{"1", true}, {"0", false}, {"yes", false}};
    for (const auto& [value, on] : values) {
        Write(kSectionFtp, "ftppasv", value);
        Write(kSectionFtp, "ftptls", value);
        Write(kSectionFtp, "ftpcert", "AB:CD");
        form.Show();
        EXPECT_EQ(form.sCheckBox1.Checked(), on) << value;
        EXPECT_EQ(form.sCheckBox2.Checked(), on) << value;
        EXPECT_EQ(form.sEdit7.Text(), "AB:CD");
        form.Hide();
    }

    form.Show();
    form.sCheckBox1.SetChecked(true);
    form.sCheckBox2.SetChecked(false);
    form.sEdit7.SetText(" 0011 ");
    form.sBitBtn1.Click();
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kSaved});
    EXPECT_EQ(Read(kSectionFtp, "ftppasv"), "1");
    EXPECT_EQ(Read(kSectionFtp, "ftptls"), "0") << "a mode turned off is stored as off";
    EXPECT_EQ(Read(kSectionFtp, "ftpcert"), "0011");
}

TEST_F(SettingsWindowTest, AFileWithoutTheSecureFtpKeysGetsNoneOfThemFromASave) {
    Write(kSectionFtp, "ftpaddr", "ftp.example.net");
    form.Show();
    EXPECT_FALSE(form.sCheckBox1.Checked());
    EXPECT_FALSE(form.sCheckBox2.Checked());
    EXPECT_EQ(form.sEdit7.Text(), "");
    form.sBitBtn1.Click();
    const std::string file = FileBytes();
    for (const char* key : {"ftppasv", "ftptls", "ftpcert"}) {
        EXPECT_EQ(file.find(key), std::string::npos) << key;
    }
    // Checked later, they are added after the four FTP keys.
    form.sCheckBox2.SetChecked(true);
    form.sBitBtn1.Click();
    EXPECT_TRUE(FileBytes().ends_with("ftpdir=kq\r\nftptls=1\r\n")) << GbkToUtf8(FileBytes());
}

TEST_F(SettingsWindowTest, AnUntouchedPasswordIsStoredAgainInANewForm) {
    Write(kSectionFtp, "ftppass", EncodePassword("secret"));
    const std::string before = Read(kSectionFtp, "ftppass");
    form.Show();
    EXPECT_EQ(form.sEdit3.Text(), "secret");
    // Encoding draws fresh keys; repeat until the stored form differs (it almost always does
    // at once), so the test does not depend on chance.
    std::string after = before;
    for (int attempt = 0; attempt < 20 && after == before; ++attempt) {
        form.sBitBtn1.Click();
        after = Read(kSectionFtp, "ftppass");
    }
    EXPECT_NE(after, before);
    EXPECT_EQ(DecodePassword(after), "secret");
}

TEST_F(SettingsWindowTest, AnEmptyPasswordIsStoredAsItsSixteenByteForm) {
    form.Show();
    form.sBitBtn1.Click();
    const std::string stored = Read(kSectionFtp, "ftppass");
    EXPECT_EQ(stored.size(), 16u);
    EXPECT_EQ(DecodePassword(stored), "");
    EXPECT_EQ(Read(kSectionFtp, "ftpaddr"), "127.0.0.1");
    EXPECT_EQ(Read(kSectionFtp, "ftpuser"), "kq");
}

TEST_F(SettingsWindowTest, EachTabSavesOnlyItsOwnSection) {
    Write(kSectionWeb, "webfile", "home");
    Write(kSectionWeb, "webmain", "http://host/a.php");
    Write(kSectionFtp, "ftpaddr", "old.example.net");
    form.Show();
    form.sEdit5.SetText("unsaved");
    form.sEdit1.SetText("new.example.net");
    form.sBitBtn1.Click();
    EXPECT_EQ(Read(kSectionWeb, "webfile"), "home");
    EXPECT_EQ(Read(kSectionWeb, "webmain"), "http://host/a.php");
    EXPECT_EQ(Read(kSectionFtp, "ftpaddr"), "new.example.net");
    TakeBoxes();

    const std::string afterFtpSave = FileBytes();
    form.sEdit1.SetText("not saved.example.net");
    form.sEdit3.SetText("changed");
    form.sEdit5.SetText(" page.html ");
    form.sEdit6.SetText("\thttp://host/b.aspx ");
    form.sBitBtn3.Click();
    EXPECT_EQ(events, (std::vector<std::string>{"box 信息保存成功", "reload"}));
    EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kSaved});
    // No validation: a page name with an extension is stored with it.
    EXPECT_EQ(Read(kSectionWeb, "webfile"), "page.html");
    EXPECT_EQ(Read(kSectionWeb, "webmain"), "http://host/b.aspx");
    // The FTP section's lines are byte for byte what the FTP save left.
    const std::string ftpSection = afterFtpSave.substr(afterFtpSave.find("[FTP参数]"));
    EXPECT_NE(FileBytes().find(ftpSection), std::string::npos);
}

TEST_F(SettingsWindowTest, AFileThatCannotBeWrittenEndsTheSaveWithTheFailureMessage) {
    Write(kSectionFtp, "ftpaddr", "old.example.net");
    ASSERT_EQ(::chmod(SettingsFile().c_str(), 0444), 0);
    const std::string before = FileBytes();
    form.Show();
    form.sEdit1.SetText("new.example.net");
    for (TButton* save : {&form.sBitBtn1, &form.sBitBtn3}) {
        save->Click();
        EXPECT_EQ(TakeBoxes(), std::vector<TMessageBoxRecord>{kFailed}) << save->Name();
        EXPECT_EQ(FileBytes(), before);
    }
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.sEdit1.Text(), "new.example.net");
}

TEST_F(SettingsWindowTest, AFailingReloadAfterTheSuccessBoxShowsTheFailureMessageToo) {
    reload.OnClick = [] { throw Exception("reload failed"); };
    form.Show();
    form.sBitBtn3.Click();
    EXPECT_EQ(TakeBoxes(), (std::vector<TMessageBoxRecord>{kSaved, kFailed}));
    EXPECT_EQ(Read(kSectionWeb, "webfile"), "kq") << "what was written stays";
}

}  // namespace
}  // namespace velomaris
