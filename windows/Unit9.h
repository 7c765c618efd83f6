// Start-up settings window (a shell with its caption; its content comes with its own task).
#pragma once

#include "platform/ui/Form.h"

namespace velomaris {

class TForm9 : public TForm {
public:
    explicit TForm9(TApplication& app);
};

}  // namespace velomaris
