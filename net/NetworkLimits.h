// The bounds that keep an unattended program from waiting, or buffering, without end. Every
// bound of a whole operation and of a server's reply is named here and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velomaris::limits {

// A page fetch, every redirect and every reconnect included.
inline constexpr std::int32_t kFetchDeadlineMs = 120000;
// Connecting to the FTP server and logging in (greeting, USER, PASS, TYPE, SYST); the change
// into the site's directory that follows gets the same bound of its own.
inline constexpr std::int32_t kLoginDeadlineMs = 120000;
// One upload: this much time, plus the time the file needs at the slowest rate still counted
// as progress.
inline constexpr std::int32_t kUploadBaseDeadlineMs = 120000;
inline constexpr std::int64_t kUploadMinBytesPerSecond = 64 * 1024;

// One FTP reply, blank lines before it included: a server that goes on past either bound is
// not talking FTP any more.
inline constexpr int kMaxReplyLines = 1000;
inline constexpr std::size_t kMaxReplyBytes = 64 * 1024;

// The deadline of an upload of the given size (bytes), in milliseconds.
constexpr std::int64_t UploadDeadlineMs(std::int64_t baseMs, std::int64_t minBytesPerSecond,
                                        std::int64_t size) {
    return baseMs + (minBytesPerSecond > 0 && size > 0 ? size * 1000 / minBytesPerSecond : 0);
}

}  // namespace velomaris::limits
