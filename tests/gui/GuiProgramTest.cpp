// The desktop program end to end, started through the same start-up as velomaris, against a
// real FTP server (pyftpdlib) and a real local page (php -S): the main window and its buttons,
// the FTP login box, a single-page conversion through the rendering browser with the upload
// arriving byte for byte, the result window, the settings windows saving to disk, the close
// request and the tray menu's exit. Driven through the widgets with Qt Test. And the program
// as a process of its own: its help without a display, its window on the display with another
// settings file, and a termination request that ends it, its browser processes included, with
// status 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/GuiStart.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Timer.h"
#include "settings/PasswordCodec.h"
#include "settings/ProfileFile.h"
#include "tests/gui/GuiWait.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FtpServerFixture.h"
#include "tests/support/PhpServerFixture.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/support/XWindows.h"

namespace velomaris {
namespace {

// The page the conversion fetches: fixed, so the upload can be compared byte for byte.
constexpr char kPageBody[] =
    "<!DOCTYPE html>\r\n<html><head><title>demo</title></head><body><p>static copy test</p>"
    "</body></html>\r\n";

// This file is UTF-8 (Qt's headers do not compile for GBK literals): the program's texts as
// the widgets show them, and as the models and setfile.ini hold them.
QString Shown(const char* utf8) {
    return QString::fromUtf8(utf8);
}
QString Shown(const std::string& ascii) {
    return QString::fromStdString(ascii);
}
std::string Gbk(const char* utf8) {
    return Utf8ToGbk(utf8);
}

// The program's headers define their Chinese texts as GBK constants; this UTF-8 file must not
// include them (two spellings of one inline constant would clash at link time), so it finds
// forms and controls by name and writes the texts it needs itself.
const std::string kFtpSection = Gbk("FTP参数");
const std::string kWebSection = Gbk("WEB参数");
const std::string kStartupSection = Gbk("启动设置");

TForm& FormNamed(TApplication& app, const std::string& name) {
    for (const auto& form : app.Forms()) {
        if (form->Name() == name) {
            return *form;
        }
    }
    throw std::runtime_error("no form " + name);
}

template <class Component>
Component& Part(TForm& form, const char* name) {
    auto* component = dynamic_cast<Component*>(form.FindComponent(name));
    if (component == nullptr) {
        throw std::runtime_error(std::string("no component ") + name);
    }
    return *component;
}

class GuiProgramTest : public ::testing::Test {
protected:
    GuiProgramTest()
        : site(std::string("<?php header('Content-Type: text/html'); readfile(__DIR__ . "
                           "'/page.html');")),
          programDirectory(dir.Path()) {
        site.Root().Write("page.html", kPageBody);
        for (const char* name : {"checkweb.html", "checkweb2.html", kProgramIconFileName}) {
            dir.Write(name, ReadFile(shipped + name));
        }
        ::mkdir((ftp.Home() + "www").c_str(), 0755);
        TProfileFile profile(dir.File("setfile.ini"));
        profile.WriteString(kFtpSection, "ftpaddr", "127.0.0.1:" + std::to_string(ftp.Port()));
        profile.WriteString(kFtpSection, "ftpuser", ftp.User());
        profile.WriteString(kFtpSection, "ftppass", EncodePassword(ftp.Password()));
        profile.WriteString(kFtpSection, "ftpdir", "www");
        profile.WriteString(kWebSection, "webmain", site.Url("/index.php"));
        profile.WriteString(kWebSection, "webfile", "index");
        // The side page would reach out to the internet.
        environment.Set("VELOMARIS_SIDE_PAGE", "off");
        environment.Set("HOME", home.Directory());
    }

    static std::string ReadFile(const std::string& path) {
        std::string bytes;
        if (FILE* file = std::fopen(path.c_str(), "rb")) {
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
                bytes.append(buffer, n);
            }
            std::fclose(file);
        }
        return bytes;
    }

    // The script runs inside the program's loop, once the main window has been shown.
    int RunProgramWith(std::function<void(TApplication&, TQtBackend&)> script) {
        int argc = 1;
        char name[] = "velomaris";
        char* argv[] = {name, nullptr};
        TProgramStart start = DesktopProgramStart(argc, argv);
        start.prepare = [this, script](TApplication& app, TUiBackend& backend) {
            auto& qt = dynamic_cast<TQtBackend&>(backend);
            qt.SetMessageObserver([this](const TMessageBoxRecord& record, QWidget* box) {
                boxes.push_back(record);
                // The user reads it and presses OK.
                QTest::mouseClick(static_cast<QMessageBox*>(box)->button(QMessageBox::Ok),
                                  Qt::LeftButton);
            });
            QTimer::singleShot(0, [&app, &qt, script] {
                script(app, qt);
                // A failed step ends the program too, instead of leaving it running.
                app.Terminate();
            });
        };
        return RunProgram(start);
    }

    // Waits until a box with this text has been shown since the last call.
    bool WaitForBox(const std::string& text) {
        const bool seen = WaitUntil([&] {
            for (size_t i = boxesRead; i < boxes.size(); ++i) {
                if (boxes[i].text == text) {
                    boxesRead = i + 1;
                    return true;
                }
            }
            return false;
        });
        return seen;
    }

    template <class Widget>
    static Widget* Find(QWidget* window, const char* name) {
        return window->findChild<Widget*>(QString::fromLatin1(name));
    }

    static void Click(QWidget* window, const char* name) {
        auto* button = Find<QPushButton>(window, name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    static void Trigger(QWidget* window, const char* name) {
        auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }

    const std::string shipped = ProgramDirectory();
    FtpServerFixture ftp;
    PhpServerFixture site;
    TempDir dir;
    TempDir home;
    ScopedProgramDirectory programDirectory;
    testing::ScopedEnvironment environment;
    std::vector<TMessageBoxRecord> boxes;
    size_t boxesRead = 0;
};

TEST_F(GuiProgramTest, LoginConversionSettingsCloseAndExit) {
    bool scriptDone = false;
    const int status = RunProgramWith([&](TApplication& app, TQtBackend& qt) {
        TForm& main = *app.MainForm();
        QWidget* window = qt.WindowOf(main);
        ASSERT_TRUE(WaitUntil([&] { return window->isVisible(); }));
        EXPECT_EQ(window->windowTitle(), Shown("VelomarisV3.0"));
        EXPECT_EQ(Find<QWidget>(window, "sPanel1") != nullptr, true);
        struct ButtonCase {
            const char* name;
            const char* caption;
        };
        for (const ButtonCase& b :
             {ButtonCase{"Button2", "登录FTP"}, ButtonCase{"Button4", "浏览主页"},
              ButtonCase{"Button1", "开始转换"}, ButtonCase{"Button6", "启动差异更新"},
              ButtonCase{"Button7", "启动定时更新"}}) {
            auto* button = Find<QPushButton>(window, b.name);
            ASSERT_NE(button, nullptr) << b.name;
            EXPECT_EQ(button->text(), Shown(b.caption)) << b.name;
            EXPECT_TRUE(button->isVisible()) << b.name;
        }
        EXPECT_FALSE(Find<QPushButton>(window, "Button1")->isEnabled());
        // The status line stays hidden until the first navigation.
        EXPECT_FALSE(Find<QLabel>(window, "Label7")->isVisible());

        // "登录FTP": the success box, and the conversion buttons become usable.
        EXPECT_TRUE(Find<QPushButton>(window, "Button2")->isEnabled());
        Click(window, "Button2");
        EXPECT_TRUE(WaitForBox(Gbk("FTP登录成功，现在您可以进行网站首页的转换"))) << [&] {
            std::string seen;
            for (const TMessageBoxRecord& box : boxes) {
                seen += GbkToUtf8(box.text) + "\n";
            }
            return seen;
        }();
        EXPECT_TRUE(WaitUntil([&] { return Find<QPushButton>(window, "Button1")->isEnabled(); }));

        // "开始转换": through the rendering browser's site check to the upload and the result
        // window.
        Click(window, "Button1");
        TForm& result = FormNamed(app, "Form7");
        ASSERT_TRUE(WaitUntil([&] { return result.Visible(); }));
        EXPECT_EQ(ReadFile(ftp.Home() + "www/index.html"), std::string(kPageBody));
        QWidget* resultWindow = qt.WindowOf(result);
        EXPECT_TRUE(resultWindow->isVisible());
        const std::string siteAddress = site.Url("");
        EXPECT_EQ(Find<QLabel>(resultWindow, "sLabel2")->text(), Shown(siteAddress));
        EXPECT_EQ(Find<QLabel>(resultWindow, "sLabel4")->text(),
                  Shown(siteAddress + "/index.html"));
        EXPECT_TRUE(Find<QLabel>(window, "Label7")->isVisible());
        EXPECT_EQ(
            Find<QLabel>(window, "Label7")->text(),
            Shown("网站打开成功，请检查网站界面，是否是你想要的界面，如果不是请重新再次打开主页"));
        Click(resultWindow, "sBitBtn1");
        EXPECT_FALSE(resultWindow->isVisible());

        // "FTP设置": the FTP tab, a new directory typed in and saved; the file changes.
        Trigger(window, "FTP1");
        TForm& ftpSettings = FormNamed(app, "Form2");
        QWidget* ftpWindow = qt.WindowOf(ftpSettings);
        ASSERT_TRUE(WaitUntil([&] { return ftpWindow->isVisible(); }));
        auto* directoryBox = Find<QLineEdit>(ftpWindow, "sEdit4");
        ASSERT_NE(directoryBox, nullptr);
        EXPECT_EQ(directoryBox->text(), QStringLiteral("www"));
        directoryBox->selectAll();
        QTest::keyClicks(directoryBox, QStringLiteral("site2"));
        EXPECT_EQ(Part<TEdit>(ftpSettings, "sEdit4").Text(), "site2");
        Click(ftpWindow, "sBitBtn1");
        EXPECT_TRUE(WaitForBox(Gbk("信息保存成功")));
        EXPECT_EQ(TProfileFile(dir.File("setfile.ini")).ReadString(kFtpSection, "ftpdir", ""),
                  "site2");
        EXPECT_EQ(Part<TEdit>(main, "Edit4").Text(), "site2");
        Click(ftpWindow, "sBitBtn2");

        // "差异更新设置": typed minutes pass the box's key rule (letters are dropped, at most two
        // characters), and the save stores milliseconds.
        Trigger(window, "N8");
        TForm& updateSettings = FormNamed(app, "Form4");
        QWidget* updateWindow = qt.WindowOf(updateSettings);
        ASSERT_TRUE(WaitUntil([&] { return updateWindow->isVisible(); }));
        auto* minutes = Find<QComboBox>(updateWindow, "sComboBox3");
        ASSERT_NE(minutes, nullptr);
        minutes->lineEdit()->setFocus();
        QTest::keyClick(minutes->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(minutes->lineEdit(), QStringLiteral("x25"));
        EXPECT_EQ(Part<TComboBox>(updateSettings, "sComboBox3").Text(), "25");
        EXPECT_EQ(minutes->currentText(), QStringLiteral("25"));
        Click(updateWindow, "sBitBtn2");
        EXPECT_TRUE(WaitForBox(Gbk("差异更新信息保存成功")));
        EXPECT_EQ(TProfileFile(dir.File("setfile.ini")).ReadInteger(kStartupSection, "difftime", 0),
                  25 * 60000);
        EXPECT_EQ(Part<TTimer>(main, "Timer2").Interval(), 25 * 60000);

        // A close request: hidden with a tray to come back from, minimised without one.
        window->close();
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            EXPECT_TRUE(WaitUntil([&] { return !window->isVisible(); }));
        } else {
            EXPECT_TRUE(WaitUntil([&] { return window->isMinimized(); }));
            EXPECT_TRUE(window->isVisible());
        }
        EXPECT_TRUE(Part<TTrayIcon>(main, "TrayIcon1").Registered());

        // The tray menu's exit item ends the program.
        QAction* exitItem = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* menu = qobject_cast<QMenu*>(top);
                menu != nullptr && menu->objectName() == QStringLiteral("PopupMenu1")) {
                exitItem = menu->findChild<QAction*>(QStringLiteral("N6"));
            }
        }
        ASSERT_NE(exitItem, nullptr);
        EXPECT_EQ(exitItem->text(), Shown("退出软件"));
        scriptDone = true;
        exitItem->trigger();
    });
    EXPECT_TRUE(scriptDone);
    EXPECT_EQ(status, 0);
}

TEST_F(GuiProgramTest, TheProgramAsAProcessOfItsOwn) {
    using namespace std::chrono_literals;
    ChildProcess::Options options;
    options.program = VELOMARIS_PATH;
    options.directory = "/";
    options.stdoutTo = ChildProcess::Sink::Pipe;
    options.stderrTo = ChildProcess::Sink::Pipe;
    {
        // Its own options are read before Qt starts: no display is needed to ask for help.
        ChildProcess::Options help = options;
        help.arguments = {"--help"};
        help.environment = {"DISPLAY=", "WAYLAND_DISPLAY="};
        ChildProcess velomaris(help);
        // Signal 0 sends nothing: this waits for the program to end by itself.
        EXPECT_EQ(velomaris.Stop(0, 60s), 0) << velomaris.Output();
        EXPECT_EQ(velomaris.Output().rfind("usage: velomaris [--config PATH]", 0), 0u)
            << velomaris.Output();
    }
    // With the settings file of the test's directory, which then holds its log too.
    options.arguments = {"--config", dir.File("setfile.ini")};
    // Its browser processes are in its group: none may outlive the test.
    options.ownProcessGroup = true;
    ChildProcess velomaris(options);
    ASSERT_TRUE(velomaris.WaitUntil([] { return XWindowViewable("VelomarisV3.0"); }, 90s))
        << velomaris.Output();
    EXPECT_EQ(velomaris.Stop(SIGTERM, 30s), 0) << velomaris.Output();
    const std::string log = ReadFile(dir.File("velomaris.log"));
    EXPECT_NE(log.find("Velomaris starts, settings file " + dir.File("setfile.ini")),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Velomaris ends"), std::string::npos) << log;
}

}  // namespace
}  // namespace velomaris
