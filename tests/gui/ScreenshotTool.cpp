// Takes the pictures of the README: starts the desktop program through its own start-up in a
// scratch program directory (the demo page of scripts/demo served by php -S on loopback, the
// side page off), opens each window the way a user does (menu items, "浏览主页") and saves
// each window as a PNG. Run under a virtual display by scripts/screenshots.sh.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "app/GuiStart.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/ui/Controls.h"
#include "settings/ProfileFile.h"
#include "tests/gui/GuiWait.h"
#include "tests/support/PhpServerFixture.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TForm& FormNamed(TApplication& app, const std::string& name) {
    for (const auto& form : app.Forms()) {
        if (form->Name() == name) {
            return *form;
        }
    }
    throw std::runtime_error("no form " + name);
}

bool Save(QWidget* window, const std::string& path) {
    // Let the window lay out and paint before the picture is taken.
    WaitUntil([] { return false; }, 700);
    const bool saved = window->grab().save(QString::fromStdString(path));
    std::cout << (saved ? "wrote " : "could not write ") << path << std::endl;
    return saved;
}

int Run(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: screenshot_tool OUTPUT_DIRECTORY DEMO_PAGE.php" << std::endl;
        return 2;
    }
    const std::string out = std::string(argv[1]) + "/";
    const std::string demoPage = ReadFile(argv[2]);
    const std::string shipped = ProgramDirectory();
    TempDir dir;
    for (const char* name : {"checkweb.html", "checkweb2.html", kProgramIconFileName}) {
        dir.Write(name, ReadFile(shipped + name));
    }
    PhpServerFixture site(demoPage);
    ScopedProgramDirectory programDirectory(dir.Path());
    setenv("VELOMARIS_SIDE_PAGE", "off", 1);
    TProfileFile profile(dir.File("setfile.ini"));
    profile.WriteString(Utf8ToGbk("WEB参数"), "webmain", site.Url("/index.php"));
    profile.WriteString(Utf8ToGbk("WEB参数"), "webfile", "index");
    profile.WriteString(Utf8ToGbk("FTP参数"), "ftpaddr", "ftp.example.com");
    profile.WriteString(Utf8ToGbk("FTP参数"), "ftpuser", "webmaster");
    profile.WriteString(Utf8ToGbk("FTP参数"), "ftpdir", "www");

    int failures = 0;
    TProgramStart start = DesktopProgramStart(argc, argv);
    start.prepare = [&](TApplication& app, TUiBackend& backend) {
        auto& qt = dynamic_cast<TQtBackend&>(backend);
        QTimer::singleShot(0, [&] {
            TForm& main = *app.MainForm();
            QWidget* window = qt.WindowOf(main);
            WaitUntil([&] { return window->isVisible(); });
            // "浏览主页" opens the page; the status line shows once the check is done.
            auto& browse = dynamic_cast<TButton&>(*main.FindComponent("Button4"));
            app.Deliver([&] { browse.Click(); });
            auto& status = dynamic_cast<TLabel&>(*main.FindComponent("Label7"));
            WaitUntil([&] {
                app.DispatchPosted();
                return status.Visible();
            });
            failures += Save(window, out + "main-window.png") ? 0 : 1;
            struct Shot {
                const char* menuItem;
                const char* form;
                const char* file;
            };
            for (const Shot& shot :
                 {Shot{"FTP1", "Form2", "ftp-settings.png"},
                  Shot{"N1", "Form2", "site-settings.png"},
                  Shot{"N8", "Form4", "differential-settings.png"},
                  Shot{"N9", "Form4", "timed-settings.png"},
                  Shot{"N11", "Form9", "startup-settings.png"}, Shot{"N2", "Form3", "help.png"}}) {
                window->findChild<QAction*>(QString::fromLatin1(shot.menuItem))->trigger();
                TForm& form = FormNamed(app, shot.form);
                failures += Save(qt.WindowOf(form), out + shot.file) ? 0 : 1;
                app.Deliver([&] { form.Hide(); });
            }
            // A result window as a single-page conversion leaves it.
            TForm& result = FormNamed(app, "Form7");
            dynamic_cast<TLabel&>(*result.FindComponent("sLabel2")).SetCaption(site.Url(""));
            dynamic_cast<TLabel&>(*result.FindComponent("sLabel4"))
                .SetCaption(site.Url("/index.html"));
            app.Deliver([&] { result.Show(); });
            failures += Save(qt.WindowOf(result), out + "result.png") ? 0 : 1;
            app.Terminate();
        });
    };
    const int status = RunProgram(start);
    return status != 0 ? status : (failures == 0 ? 0 : 1);
}

}  // namespace
}  // namespace velomaris

int main(int argc, char** argv) {
    return velomaris::Run(argc, argv);
}
