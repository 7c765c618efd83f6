#include "tests/support/HeadlessHarness.h"

#include "platform/ui/Component.h"

namespace velomaris {

HeadlessHarness::HeadlessHarness() : backend_(clock_) {
    app_ = std::make_unique<TApplication>(backend_, clock_);
    app_->SetTitle("Velomaris");
    backend_.SetMessagePolicy([this](const TMessageBoxRecord& box) {
        messages_.push_back(box);
        ++openBoxes_;
        struct Closing {
            int& open;
            ~Closing() { --open; }
        } closing{openBoxes_};
        if (whileOpen_) {
            auto handler = whileOpen_;
            handler(box);
        }
    });
}

HeadlessHarness::~HeadlessHarness() {
    // Forms go before the backend and the clock they use.
    app_.reset();
}

void HeadlessHarness::Advance(std::int64_t milliseconds) {
    const Clock::TimePoint target = clock_.Now() + milliseconds;
    for (;;) {
        app_->DispatchPosted();
        const auto next = app_->NextDueTime();
        if (!next || *next > target) {
            break;
        }
        // A handler may have moved the clock past this due time (a box it showed ran the loop
        // on); the clock never goes back.
        clock_.AdvanceTo(*next);
        app_->DispatchDue();
    }
    clock_.AdvanceTo(target);
    app_->DispatchPosted();
}

void HeadlessHarness::UserClick(TControl& control) {
    app_->Deliver([&control] { control.Click(); });
}

std::string ToString(const TMessageBoxRecord& box) {
    return DescribeMessage(box);
}

}  // namespace velomaris
