// The root of the network components: status and work notifications, and the count of live
// components that keeps the socket layer alive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/IdStack.h"

namespace velomaris {

enum class TIdStatus {
    hsResolving,
    hsConnecting,
    hsConnected,
    hsDisconnecting,
    hsDisconnected,
    hsStatusText,
    ftpTransfer,
    ftpReady,
    ftpAborted,
};

enum class TWorkMode { wmRead, wmWrite };

class TIdComponent;

using TIdStatusEvent =
    std::function<void(TIdComponent* sender, TIdStatus status, const std::string& text)>;
using TWorkBeginEvent =
    std::function<void(TIdComponent* sender, TWorkMode mode, std::int32_t total)>;
using TWorkEvent = std::function<void(TIdComponent* sender, TWorkMode mode, std::int32_t count)>;
using TWorkEndEvent = std::function<void(TIdComponent* sender, TWorkMode mode)>;
using TNotifyEvent = std::function<void(TIdComponent* sender)>;

// The status text of a status value with its argument ("Connecting to %s." ...).
std::string StatusText(TIdStatus status, const std::string& argument);

class TIdBaseComponent {
public:
    TIdBaseComponent() = default;
    virtual ~TIdBaseComponent() = default;
    TIdBaseComponent(const TIdBaseComponent&) = delete;
    TIdBaseComponent& operator=(const TIdBaseComponent&) = delete;
};

class TIdComponent : public TIdBaseComponent {
public:
    TIdComponent() = default;

    TIdStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;

    virtual void WorkBegin(TWorkMode mode, std::int32_t total);
    virtual void WorkProgress(TWorkMode mode, std::int32_t count);
    virtual void WorkEnd(TWorkMode mode);

    // Calls OnStatus, when set, with the formatted status text.
    void ReportStatus(TIdStatus status, const std::string& argument = std::string());

protected:
    TIdStack& Stack() const { return socketLayer_.Stack(); }

private:
    struct WorkState {
        int level = 0;
        std::int32_t total = 0;
        std::int32_t count = 0;
    };
    WorkState& State(TWorkMode mode) { return work_[mode == TWorkMode::wmRead ? 0 : 1]; }

    SocketLayerReference socketLayer_;
    WorkState work_[2];
};

}  // namespace velomaris
