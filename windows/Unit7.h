// Result window of the single-page conversion.
#pragma once

#include "windows/ResultForm.h"

namespace velomaris {

class TForm7 : public TResultForm {
public:
    explicit TForm7(TApplication& app);
};

}  // namespace velomaris
