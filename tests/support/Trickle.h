// A peer that trickles: sends a few bytes, pauses, and again, until the other side has gone
// or the time is up. The shape of a server that never trips a per-read limit.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <string>
#include <thread>

namespace velomaris {

inline void Trickle(int fd, const std::string& piece, std::chrono::milliseconds interval,
                    std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL) < 0) {
            return;
        }
        std::this_thread::sleep_for(interval);
    }
}

}  // namespace velomaris
