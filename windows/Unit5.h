// Result window of the differential update (a shell with its caption; its content comes with its
// own task).
#pragma once

#include "platform/ui/Form.h"

namespace velomaris {

class TForm5 : public TForm {
public:
    explicit TForm5(TApplication& app);
};

}  // namespace velomaris
