// What the component layer needs from a windowing system: a message loop, modal message
// boxes and the showing of forms. The headless backend is one; a windowed one plugs in here.
#pragma once

#include <memory>

#include "platform/browser/BrowserEngine.h"
#include "platform/ui/MessageBox.h"

namespace velomaris {

class TApplication;
class TControl;
class TForm;
class TMenu;
class TTrayIcon;
class TWebBrowser;
enum class TChange;

// A position on the screen, in pixels.
struct TPoint {
    int x = 0;
    int y = 0;
    bool operator==(const TPoint&) const = default;
};

class TUiBackend {
public:
    virtual ~TUiBackend() = default;
    TUiBackend() = default;
    TUiBackend(const TUiBackend&) = delete;
    TUiBackend& operator=(const TUiBackend&) = delete;

    // Runs the application's loop until the application is terminated: dispatches posted
    // events and due timers through the application and waits in between.
    virtual void RunLoop(TApplication& app) = 0;
    // Any thread: something was posted, or the application was told to end.
    virtual void Wake() = 0;
    // Shows a box and returns when it has been closed; the loop keeps dispatching meanwhile,
    // so timers tick and posted events arrive while the caller waits.
    virtual void ShowModalMessage(TApplication& app, const TMessageBoxRecord& box) = 0;
    // A form became visible or hidden.
    virtual void FormVisibilityChanged(TForm& /*form*/) {}
    // The form asked to become the foreground window.
    virtual void BringToFront(TForm& /*form*/) {}
    // The application's taskbar entry is to be shown and restored from the minimised state.
    virtual void RestoreApplication(TApplication& /*app*/) {}
    // Shows a pop-up menu at a screen position; returns at once (the chosen item's click
    // arrives later through the loop).
    virtual void PopupMenu(TMenu& /*menu*/, TPoint /*at*/) {}
    // Where the mouse cursor is now; a backend without a screen has it at the origin.
    virtual TPoint CursorPos() const { return {}; }

    // A property of a control (or of a form: its caption) changed in the model.
    virtual void ControlChanged(TControl& /*control*/, TChange /*what*/) {}
    // A tray icon was registered (shown with its tip) or deleted.
    virtual void TrayIconChanged(TTrayIcon& /*icon*/) {}
    // Whether the desktop has a notification area an icon can live in.
    virtual bool SystemTrayAvailable() const { return true; }
    // The application's windows are to go to the taskbar (minimised, not hidden).
    virtual void MinimizeApplication(TApplication& /*app*/) {}
    // The engine a new browser control starts with; null keeps the blank engine (a program
    // or a test then hands it one of its own).
    virtual std::unique_ptr<TBrowserEngine> CreateBrowserEngine(TWebBrowser& /*browser*/) {
        return nullptr;
    }
};

}  // namespace velomaris
