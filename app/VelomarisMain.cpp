// velomaris: the program on the desktop, with its nine windows, the tray icon and a rendering
// browser. SIGINT and SIGTERM end it cleanly, like the tray menu's exit item.
#include "app/GuiStart.h"

int main(int argc, char** argv) {
    return velomaris::RunProgram(velomaris::DesktopProgramStart(argc, argv));
}
