#include "platform/ui/HeadlessBackend.h"

#include <chrono>
#include <cstdio>
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
        std::unique_lock lock(mutex_);
        if (woken_ || app.HasPosted()) {
            woken_ = false;
            continue;
        }
        if (next && virtualClock != nullptr) {
            lock.unlock();
            virtualClock->AdvanceTo(*next);
            continue;
        }
        if (next) {
            const std::int64_t wait = *next - clock_.Now();
            if (wait > 0) {
                wake_.wait_for(lock, std::chrono::milliseconds{wait}, [this] { return woken_; });
            }
        } else {
            wake_.wait(lock, [this] { return woken_; });
        }
        woken_ = false;
    }
}

void THeadlessBackend::Wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
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
