// Result window of the timed update. Its address labels show the hand cursor like those of the
// other result windows, so a click opens the address here too: a link that looks clickable
// and does nothing would only puzzle the user.
#pragma once

#include "windows/ResultForm.h"

namespace velomaris {

class TForm8 : public TResultForm {
public:
    explicit TForm8(TApplication& app);
};

}  // namespace velomaris
