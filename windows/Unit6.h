// A window that is created with the others and never shown (a shell with its caption; its content
// comes with its own task).
#pragma once

#include "platform/ui/Form.h"

namespace velomaris {

class TForm6 : public TForm {
public:
    explicit TForm6(TApplication& app);
};

}  // namespace velomaris
