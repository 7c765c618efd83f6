// Result window of the single-page conversion (a shell with its caption; its content comes with its
// own task).
#pragma once

#include "platform/ui/Form.h"

namespace velomaris {

class TForm7 : public TForm {
public:
    explicit TForm7(TApplication& app);
};

}  // namespace velomaris
