#include "app/Forms.h"

#include "app/Unit1.h"
#include "platform/ui/Application.h"
#include "windows/Unit2.h"
#include "windows/Unit3.h"
#include "windows/Unit4.h"
#include "windows/Unit5.h"
#include "windows/Unit6.h"
#include "windows/Unit7.h"
#include "windows/Unit8.h"
#include "windows/Unit9.h"

namespace velomaris {

void CreateForms(TApplication& app) {
    // The settings windows make the main window re-read its settings through its hidden
    // reload button after each save.
    auto& main = app.CreateForm<TForm1>();
    app.CreateForm<TForm2>(main.sButton1);
    app.CreateForm<TForm3>();
    app.CreateForm<TForm4>(main.sButton1);
    app.CreateForm<TForm5>();
    app.CreateForm<TForm6>();
    app.CreateForm<TForm7>();
    app.CreateForm<TForm8>();
    app.CreateForm<TForm9>();
}

}  // namespace velomaris
