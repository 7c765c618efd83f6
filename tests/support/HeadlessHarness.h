// Drives the component layer in tests: the headless backend on a virtual clock, a record of
// every message box, and a policy deciding what happens while a box is open.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessBackend.h"

namespace velomaris {

class TControl;

class HeadlessHarness {
public:
    using BoxHandler = std::function<void(const TMessageBoxRecord& box)>;

    // The application is titled "Velomaris"; boxes are recorded and closed at once.
    HeadlessHarness();
    ~HeadlessHarness();
    HeadlessHarness(const HeadlessHarness&) = delete;
    HeadlessHarness& operator=(const HeadlessHarness&) = delete;

    TApplication& App() { return *app_; }
    VirtualClock& Clock() { return clock_; }

    // Moves the virtual clock forward, running posted events and every due timer tick and
    // delayed call in time order, with the clock standing at each one's due time. May be
    // called while a box is open (from a box handler): that is the loop running on under the
    // box.
    void Advance(std::int64_t milliseconds);
    // Runs the posted events (and what is due now) without moving the clock.
    void RunPending() { Advance(0); }

    // A click by the user: through the loop, so an escaping exception becomes the general
    // error report instead of reaching the test.
    void UserClick(TControl& control);

    // Every box and dialog shown so far, in order.
    const std::vector<TMessageBoxRecord>& Messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }
    // Called with each box after it is recorded; when it returns the box closes. Pass an empty
    // function to close boxes at once again.
    void WhileBoxOpen(BoxHandler handler) { whileOpen_ = std::move(handler); }
    // How many boxes are open right now (handlers of nested boxes included).
    int OpenBoxes() const { return openBoxes_; }

private:
    VirtualClock clock_;
    THeadlessBackend backend_;
    std::unique_ptr<TApplication> app_;
    std::vector<TMessageBoxRecord> messages_;
    BoxHandler whileOpen_;
    int openBoxes_ = 0;
};

// Prints a box as the headless program would, for assertion messages.
std::string ToString(const TMessageBoxRecord& box);

}  // namespace velomaris
