// The main window's tray icon, its closing behaviour and the desktop shortcut. The program runs
// unattended for days: closing the window only hides it, the tray icon brings it back, and the
// tray menu's exit item is the only way to end the program.
#include "app/Unit1.h"
#include "platform/Files.h"
#include "platform/shell/DesktopShortcut.h"
#include "platform/shell/ExecutablePath.h"
#include "platform/ui/Application.h"
#include "windows/Unit3.h"

namespace velomaris {

void TForm1::WndProc(TMessage& message) {
    TForm::WndProc(message);
    if (message.Msg != kTrayCallbackMessage) {
        return;
    }
    const TPoint cursor = Application().Backend().CursorPos();
    switch (message.LParam) {
        case WM_LBUTTONDBLCLK:
            Show();
            Application().Restore();
            BringToFront();
            break;
        case WM_RBUTTONDOWN:
            PopupMenu1.Popup(cursor);
            break;
        default:
            // Single clicks, button releases and mouse moves on the icon do nothing.
            break;
    }
}

void TForm1::FormCloseQuery(bool& canClose) {
    // Every close request only hides the window; timers and workflows keep running.
    canClose = false;
    // A desktop without a notification area would leave a hidden window no way back: there
    // the window goes to the taskbar instead.
    if (!Application().Backend().SystemTrayAvailable()) {
        Application().Minimize();
        return;
    }
    Hide();
}

void TForm1::N4Click() {
    // Unlike the double-click, the menu item neither restores nor brings the window forward.
    Show();
}

void TForm1::N10Click() {
    Application().Form<TForm3>().Show();
}

void TForm1::N6Click() {
    // Nothing is saved and the FTP server gets no QUIT: the connection closes with the process.
    TrayIcon1.Delete();
    Application().Terminate();
}

void TForm1::N7Click() {
    try {
        CreateDesktopShortcut(ExecutablePath(), ProgramDirectory());
    } catch (const std::exception&) {
        // A shortcut is a convenience: when the desktop directory is missing or unwritable the
        // command ends without a word, as users of this menu item expect.
        return;
    }
    Application().ShowMessage(kShortcutCreated);
}

}  // namespace velomaris
