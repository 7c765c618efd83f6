#include "app/GuiStart.h"

#include <QApplication>
#include <QIcon>
#include <cstdlib>
#include <cstring>

#include "app/QtBrowserEngine.h"
#include "platform/Files.h"
#include "platform/browser/WebBrowser.h"
#include "platform/ui/WebEngineEnvironment.h"

namespace velomaris {

namespace {

bool SidePageOff() {
    const char* value = std::getenv("VELOMARIS_SIDE_PAGE");
    return value != nullptr && std::strcmp(value, "off") == 0;
}

}  // namespace

std::unique_ptr<TQtBackend> MakeDesktopBackend(int& argc, char** argv, Clock& clock) {
    PrepareWebEngineEnvironment();
    // QtWebEngine shares its GL contexts with the widgets; this must precede the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    auto backend = std::make_unique<TQtBackend>(argc, argv, clock);
    const std::string directory = ProgramDirectory();
    backend->SetApplicationIcon(QIcon(QString::fromLocal8Bit(directory + kProgramIconFileName)));
    const bool sidePageOff = SidePageOff();
    backend->SetBrowserEngineFactory(
        [directory, sidePageOff](TWebBrowser& browser) -> std::unique_ptr<TBrowserEngine> {
            if (sidePageOff && browser.Name() == "WebBrowser2") {
                return nullptr;
            }
            return std::make_unique<TQtBrowserEngine>(directory);
        });
    return backend;
}

TProgramStart DesktopProgramStart(int& argc, char** argv) {
    TProgramStart start;
    start.programName = "velomaris";
    start.makeBackend = [&argc, argv](Clock& clock) -> std::unique_ptr<TUiBackend> {
        return MakeDesktopBackend(argc, argv, clock);
    };
    return start;
}

}  // namespace velomaris
