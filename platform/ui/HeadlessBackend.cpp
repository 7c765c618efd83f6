#include "platform/ui/HeadlessBackend.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <ostream>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "platform/ui/Application.h"

namespace velomaris {

namespace {

// A terminal shows a lone CR as a jump to the start of the line, hiding what came before.
std::string TerminalLineBreaks(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

// GBK to UTF-8 for a terminal: a text that does not convert is still shown, with its
// non-ASCII bytes escaped, rather than lost.
std::string ForTerminal(std::string_view gbk) {
    try {
        return GbkToUtf8(TerminalLineBreaks(gbk));
    } catch (const ETextConversionError&) {
        std::string out;
        for (unsigned char c : TerminalLineBreaks(gbk)) {
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else {
                char buf[5];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                out += buf;
            }
        }
        return out;
    }
}

}  // namespace

THeadlessBackend::THeadlessBackend(Clock& clock) : clock_(clock) {}

void THeadlessBackend::SetMessagePolicy(MessagePolicy policy) {
    policy_ = std::move(policy);
}

void THeadlessBackend::RunLoop(TApplication& app) {
    auto* virtualClock = dynamic_cast<VirtualClock*>(&clock_);
    while (!app.Terminated()) {
        app.DispatchPosted();
        if (app.Terminated()) {
            break;
        }
        app.DispatchDue();
        if (app.Terminated()) {
            break;
        }
        const auto next = app.NextDueTime();
        // Taking the flag before looking at the queue: an event posted after the look sets it
        // again, and the sleep below then returns at once.
        if (woken_.exchange(0) != 0 || app.HasPosted()) {
            continue;
        }
        if (next && virtualClock != nullptr) {
            virtualClock->AdvanceTo(*next);
            continue;
        }
        if (next) {
            const std::int64_t wait = *next - clock_.Now();
            if (wait > 0) {
                Sleep(wait);
            }
        } else {
            Sleep(-1);
        }
    }
}

void THeadlessBackend::Sleep(std::int64_t timeoutMs) {
    timespec timeout{};
    timespec* limit = nullptr;
    if (timeoutMs >= 0) {
        timeout.tv_sec = static_cast<time_t>(timeoutMs / 1000);
        timeout.tv_nsec = static_cast<long>(timeoutMs % 1000) * 1000000L;
        limit = &timeout;
    }
    // Returns at once when the word is no longer 0; a time-out, a signal or a spurious return
    // all just send the loop round again.
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&woken_), FUTEX_WAIT_PRIVATE, 0, limit,
              nullptr, 0);
}

void THeadlessBackend::Wake() {
    if (woken_.exchange(1) == 0) {
        ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&woken_), FUTEX_WAKE_PRIVATE, 1,
                  nullptr, nullptr, 0);
    }
}

void THeadlessBackend::ShowModalMessage(TApplication&, const TMessageBoxRecord& box) {
    if (policy_) {
        // A copy: the policy may install another policy while it runs.
        auto policy = policy_;
        policy(box);
    }
}

std::string DescribeMessage(const TMessageBoxRecord& box) {
    std::string line = "[" + ForTerminal(box.title) + "]";
    if (box.kind == TMessageKind::mkMessageBox) {
        line += std::string(" (") + IconName(box.icon) + ")";
    }
    return line + " " + ForTerminal(box.text);
}

THeadlessBackend::MessagePolicy PrintingMessagePolicy(std::ostream& out) {
    return [&out](const TMessageBoxRecord& box) { out << DescribeMessage(box) << std::endl; };
}

}  // namespace velomaris
