// The nine windows of the program, created in their fixed order.
#pragma once

namespace velomaris {

class TApplication;

// Creates TForm1 (the main window) to TForm9 in this order.
void CreateForms(TApplication& app);

}  // namespace velomaris
