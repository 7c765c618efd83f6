// Handlers of the main window whose workflows are not built yet. Each says so plainly when it
// runs (the general error report shows it) instead of pretending to work. A workflow that is
// built moves its handlers into a file of its own and removes them from here.
#include "app/Unit1.h"

namespace velomaris {

namespace {

[[noreturn]] void NotBuiltYet(const char* handler) {
    throw Exception(std::string("TForm1::") + handler + " is not built yet");
}

}  // namespace

void TForm1::Button2Click() {
    NotBuiltYet("Button2Click");
}
void TForm1::sBitBtn1Click() {
    NotBuiltYet("sBitBtn1Click");
}
void TForm1::sButton2Click() {
    NotBuiltYet("sButton2Click");
}
void TForm1::Timer8Timer() {
    NotBuiltYet("Timer8Timer");
}
void TForm1::Timer9Timer() {
    NotBuiltYet("Timer9Timer");
}
void TForm1::Button6Click() {
    NotBuiltYet("Button6Click");
}
void TForm1::Button7Click() {
    NotBuiltYet("Button7Click");
}
void TForm1::Button1Click() {
    NotBuiltYet("Button1Click");
}
void TForm1::Button4Click() {
    NotBuiltYet("Button4Click");
}

void TForm1::WebBrowser1DocumentComplete() {
    NotBuiltYet("WebBrowser1DocumentComplete");
}
void TForm1::Button11Click() {
    NotBuiltYet("Button11Click");
}
void TForm1::Timer5Timer() {
    NotBuiltYet("Timer5Timer");
}
void TForm1::Timer6Timer() {
    NotBuiltYet("Timer6Timer");
}
void TForm1::Button13Click() {
    NotBuiltYet("Button13Click");
}
void TForm1::Button14Click() {
    NotBuiltYet("Button14Click");
}

void TForm1::Timer2Timer() {
    NotBuiltYet("Timer2Timer");
}
void TForm1::Timer4Timer() {
    NotBuiltYet("Timer4Timer");
}
void TForm1::Button10Click() {
    NotBuiltYet("Button10Click");
}
void TForm1::Button12Click() {
    NotBuiltYet("Button12Click");
}

void TForm1::Timer3Timer() {
    NotBuiltYet("Timer3Timer");
}
void TForm1::Timer7Timer() {
    NotBuiltYet("Timer7Timer");
}
void TForm1::Button16Click() {
    NotBuiltYet("Button16Click");
}
void TForm1::Button17Click() {
    NotBuiltYet("Button17Click");
}

}  // namespace velomaris
