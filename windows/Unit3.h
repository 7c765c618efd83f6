// Help window (a shell with its caption; its content comes with its own task).
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

namespace velomaris {

class TForm3 : public TForm {
public:
    explicit TForm3(TApplication& app);

    TPageControl sPageControl1;
};

}  // namespace velomaris
