// The application: its forms, the one message loop (run by a backend), timers, posted events,
// message boxes and the general error report.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/ui/Form.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UiBackend.h"

namespace velomaris {

class TTimer;

class TApplication {
public:
    TApplication(TUiBackend& backend, Clock& clock);
    // Destroys the forms in reverse creation order.
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }

    // Creates a form of type T, constructed as T(app, args...); the first form created is the
    // main form. Forms live as long as the application.
    template <class T, class... Args>
    T& CreateForm(Args&&... args) {
        auto form = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T& ref = *form;
        forms_.push_back(std::move(form));
        if (mainForm_ == nullptr) {
            mainForm_ = &ref;
        }
        return ref;
    }
    const std::vector<std::unique_ptr<TForm>>& Forms() const { return forms_; }
    TForm* MainForm() const { return mainForm_; }
    // The first form of type T; raises Exception when there is none.
    template <class T>
    T& Form() const {
        for (const auto& form : forms_) {
            if (auto* typed = dynamic_cast<T*>(form.get())) {
                return *typed;
            }
        }
        throw Exception("No form of the requested type has been created");
    }

    // Shows the main form (its show event runs through the error report like any handler),
    // then runs the loop until Terminate.
    void Run();
    // Any thread: ends the loop after the current event.
    void Terminate();
    bool Terminated() const { return terminated_.load(); }

    // Any thread: queues fn to run on the loop thread, after the events already queued.
    void Post(std::function<void()> fn);
    // Loop thread: queues fn to run once, delayMs milliseconds from now, ordered in time with
    // the timers.
    void PostDelayed(std::int64_t delayMs, std::function<void()> fn);

    // A message box with text, title and icon; returns when it is closed. The loop keeps
    // running meanwhile (timers tick, posted events arrive).
    void MessageBox(const std::string& text, const std::string& title, TMessageBoxIcon icon);
    // A plain message dialog: the text, captioned with the application title.
    void ShowMessage(const std::string& text);
    // The general error report for an exception that no handler caught: a box titled with
    // the application title, error icon, text by ErrorReportText.
    void ShowException(const std::string& message);
    // Runs a handler as the loop does: an exception that escapes it becomes the general error
    // report and the loop goes on.
    void Deliver(const std::function<void()>& handler);

    // The form last brought to the foreground (TForm::BringToFront), null before any.
    TForm* ForegroundForm() const { return foregroundForm_; }
    void SetForegroundForm(TForm& form) { foregroundForm_ = &form; }
    // The application's taskbar entry: minimised (all its windows out of sight) or normal.
    bool Minimized() const { return minimized_; }
    void Minimize();
    // Shows the taskbar entry and restores it to its normal state.
    void Restore();

    Clock& GetClock() const { return clock_; }
    TUiBackend& Backend() const { return backend_; }

    // Loop machinery for backends and test harnesses.
    // Runs the events posted before the call; returns how many ran.
    size_t DispatchPosted();
    // Runs every timer tick and delayed call that is due now, each at most once, in the order
    // of their due times; returns how many ran.
    size_t DispatchDue();
    // The earliest due time of an enabled timer or a delayed call.
    std::optional<Clock::TimePoint> NextDueTime() const;
    bool HasPosted() const;

private:
    friend class TTimer;
    std::uint64_t RegisterTimer(TTimer& timer);
    void UnregisterTimer(std::uint64_t id);

    struct DelayedCall {
        Clock::TimePoint due;
        std::function<void()> fn;
    };

    TUiBackend& backend_;
    Clock& clock_;
    std::string title_;
    std::vector<std::unique_ptr<TForm>> forms_;
    TForm* mainForm_ = nullptr;
    TForm* foregroundForm_ = nullptr;
    bool minimized_ = false;
    std::atomic<bool> terminated_{false};

    mutable std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    // Mirrors !posted_.empty() (written under postedMutex_), read without the lock.
    std::atomic<bool> hasPosted_{false};

    // Timers and delayed calls share one id sequence, so equal due times run in the order they
    // were created.
    std::uint64_t nextId_ = 1;
    std::map<std::uint64_t, TTimer*> timers_;
    std::map<std::uint64_t, DelayedCall> delayed_;
};

}  // namespace velomaris
