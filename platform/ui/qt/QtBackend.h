// The windowed backend: Qt 6 Widgets. It mirrors the control models in real windows (built
// from each form's layout the first time the form is shown), forwards what the user does to
// the models, runs the application's timers and posted events on Qt's event loop, shows real
// modal message boxes and the tray icon. It holds no logic of the program.
#pragma once

#include <functional>
#include <memory>

#include "platform/Clock.h"
#include "platform/ui/UiBackend.h"

class QWidget;
class QIcon;

namespace velomaris {

// A browser engine that shows its pages in a widget of its own, which the backend places
// where the browser control sits.
class TWidgetBrowserEngine : public TBrowserEngine {
public:
    virtual QWidget* View() = 0;
};

class TQtBackend final : public TUiBackend {
public:
    using EngineFactory = std::function<std::unique_ptr<TBrowserEngine>(TWebBrowser& browser)>;
    // Called when a message box has appeared (its window is box), while the caller waits;
    // tests and screenshots use it to read and close boxes.
    using MessageObserver = std::function<void(const TMessageBoxRecord& record, QWidget* box)>;

    // Creates the Qt application object; argc and argv must outlive the backend.
    TQtBackend(int& argc, char** argv, Clock& clock);
    ~TQtBackend() override;

    // The engines of new browser controls; without a factory they keep the blank engine.
    void SetBrowserEngineFactory(EngineFactory factory);
    void SetMessageObserver(MessageObserver observer);
    // The icon of the windows and the tray.
    void SetApplicationIcon(const QIcon& icon);

    // The window of a form (built now if it has not been shown yet) and the widget of a
    // control (null for a control the window does not show).
    QWidget* WindowOf(TForm& form);
    QWidget* WidgetOf(TControl& control);

    void RunLoop(TApplication& app) override;
    void Wake() override;
    void ShowModalMessage(TApplication& app, const TMessageBoxRecord& box) override;
    void FormVisibilityChanged(TForm& form) override;
    void BringToFront(TForm& form) override;
    void RestoreApplication(TApplication& app) override;
    void PopupMenu(TMenu& menu, TPoint at) override;
    TPoint CursorPos() const override;
    void ControlChanged(TControl& control, TChange what) override;
    void TrayIconChanged(TTrayIcon& icon) override;
    bool SystemTrayAvailable() const override;
    void MinimizeApplication(TApplication& app) override;
    std::unique_ptr<TBrowserEngine> CreateBrowserEngine(TWebBrowser& browser) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace velomaris
