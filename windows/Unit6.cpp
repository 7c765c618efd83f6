#include "windows/Unit6.h"

namespace velomaris {

TForm6::TForm6(TApplication& app) : TForm(app, "Form6", "Form6") {}

}  // namespace velomaris
