// Result window of the differential update.
#pragma once

#include "windows/ResultForm.h"

namespace velomaris {

class TForm5 : public TResultForm {
public:
    explicit TForm5(TApplication& app);
};

}  // namespace velomaris
