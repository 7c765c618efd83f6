#include "net/IdComponent.h"

#include <algorithm>
#include <cstdint>

namespace velomaris {

std::string StatusText(TIdStatus status, const std::string& argument) {
    switch (status) {
        case TIdStatus::hsResolving:
            return "Resolving hostname " + argument + ".";
        case TIdStatus::hsConnecting:
            return "Connecting to " + argument + ".";
        case TIdStatus::hsConnected:
            return "Connected.";
        case TIdStatus::hsDisconnecting:
            return "Disconnecting.";
        case TIdStatus::hsDisconnected:
            return "Disconnected.";
        case TIdStatus::hsStatusText:
        case TIdStatus::ftpTransfer:
        case TIdStatus::ftpReady:
        case TIdStatus::ftpAborted:
            return argument;
    }
    return argument;
}

void TIdComponent::ReportStatus(TIdStatus status, const std::string& argument) {
    if (OnStatus) {
        OnStatus(this, status, StatusText(status, argument));
    }
}

void TIdComponent::WorkBegin(TWorkMode mode, std::int32_t total) {
    WorkState& state = State(mode);
    if (++state.level == 1) {
        state.total = total;
        state.count = 0;
        if (OnWorkBegin) {
            OnWorkBegin(this, mode, total);
        }
    }
}

void TIdComponent::WorkProgress(TWorkMode mode, std::int32_t count) {
    WorkState& state = State(mode);
    if (state.level >= 1) {
        // A transfer beyond 2 GiB keeps reporting the largest count instead of wrapping.
        const std::int64_t sum = static_cast<std::int64_t>(state.count) + count;
        state.count = static_cast<std::int32_t>(std::min<std::int64_t>(sum, INT32_MAX));
        if (OnWork) {
            OnWork(this, mode, state.count);
        }
    }
}

void TIdComponent::WorkEnd(TWorkMode mode) {
    WorkState& state = State(mode);
    if (state.level == 1 && OnWorkEnd) {
        OnWorkEnd(this, mode);
    }
    if (state.level > 0) {
        --state.level;
    }
}

}  // namespace velomaris
