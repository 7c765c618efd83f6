// Decoding of a response body that the server compressed ("Content-Encoding", RFC 9110
// section 8.4): gzip and deflate through zlib, identity as it is; any other coding is refused.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "http/IdHTTP.h"
#include "platform/Stream.h"

namespace velomaris {

enum class TIdContentCoding { Gzip, Deflate };

// The codings of a "Content-Encoding" value in the order they were applied; "identity" is
// left out, so an empty list means the body is sent as it is. An unknown coding raises
// EIdHTTPContentEncodingError.
std::vector<TIdContentCoding> ParseContentCodings(std::string_view value);

// Undoes the codings (the last applied first) and writes the result to out. Damaged or
// incomplete data raises EIdHTTPContentEncodingError; a result beyond limit bytes raises
// EIdHTTPResponseTooLarge as soon as it passes the limit.
void DecodeContent(const std::vector<TIdContentCoding>& codings, std::string encoded, TStream& out,
                   std::int64_t limit);

}  // namespace velomaris
