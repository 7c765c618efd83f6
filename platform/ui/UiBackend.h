// What the component layer needs from a windowing system: a message loop, modal message
// boxes and the showing of forms. The headless backend is one; a windowed one plugs in here.
#pragma once

#include "platform/ui/MessageBox.h"

namespace velomaris {

class TApplication;
class TForm;

class TUiBackend {
public:
    virtual ~TUiBackend() = default;
    TUiBackend() = default;
    TUiBackend(const TUiBackend&) = delete;
    TUiBackend& operator=(const TUiBackend&) = delete;

    // Runs the application's loop until the application is terminated: dispatches posted
    // events and due timers through the application and waits in between.
    virtual void RunLoop(TApplication& app) = 0;
    // Any thread: something was posted, or the application was told to end.
    virtual void Wake() = 0;
    // Shows a box and returns when it has been closed; the loop keeps dispatching meanwhile,
    // so timers tick and posted events arrive while the caller waits.
    virtual void ShowModalMessage(TApplication& app, const TMessageBoxRecord& box) = 0;
    // A form became visible or hidden.
    virtual void FormVisibilityChanged(TForm& /*form*/) {}
};

}  // namespace velomaris
