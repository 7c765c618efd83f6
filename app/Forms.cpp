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
#include "windows/WindowLayouts.h"

namespace velomaris {

void CreateForms(TApplication& app) {
    // The settings windows make the main window re-read its settings through its hidden
    // reload button after each save.
    auto& main = app.CreateForm<TForm1>();
    main.SetLayout(Form1Layout());
    app.CreateForm<TForm2>(main.sButton1).SetLayout(Form2Layout());
    app.CreateForm<TForm3>().SetLayout(Form3Layout());
    app.CreateForm<TForm4>(main.sButton1).SetLayout(Form4Layout());
    app.CreateForm<TForm5>().SetLayout(ResultFormLayout());
    app.CreateForm<TForm6>().SetLayout(Form6Layout());
    app.CreateForm<TForm7>().SetLayout(ResultFormLayout());
    app.CreateForm<TForm8>().SetLayout(ResultFormLayout());
    app.CreateForm<TForm9>().SetLayout(Form9Layout());
}

}  // namespace velomaris
