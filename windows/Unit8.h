// Result window of the timed update (a shell with its caption; its content comes with its own
// task).
#pragma once

#include "platform/ui/Form.h"

namespace velomaris {

class TForm8 : public TForm {
public:
    explicit TForm8(TApplication& app);
};

}  // namespace velomaris
