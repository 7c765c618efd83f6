#include "http/IdContentCoding.h"

#include <zlib.h>

#include <algorithm>

#include "platform/Text.h"

namespace velomaris {

namespace {

// zlib's window bits: a gzip wrapper (RFC 1952), a zlib wrapper (RFC 1950) or none at all.
constexpr int kGzipWindow = 15 + 16;
constexpr int kZlibWindow = 15;
constexpr int kRawWindow = -15;

constexpr std::size_t kPieceBytes = 64 * 1024;

std::string TooLargeMessage(std::int64_t limit) {
    return "The response body is larger than " + std::to_string(limit) + " bytes";
}

class Inflater {
public:
    explicit Inflater(int windowBits) {
        if (inflateInit2(&stream_, windowBits) != Z_OK) {
            throw EIdHTTPContentEncodingError("The compressed response cannot be decoded");
        }
    }
    ~Inflater() { inflateEnd(&stream_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates all of input, handing each decoded piece to sink. False when the data is not
    // of this format at all (nothing was decoded before the error).
    template <typename Sink>
    bool Run(const std::string& input, const char* name, Sink sink) {
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
        stream_.avail_in = static_cast<uInt>(input.size());
        std::string piece(kPieceBytes, '\0');
        bool anyOutput = false;
        for (;;) {
            stream_.next_out = reinterpret_cast<Bytef*>(piece.data());
            stream_.avail_out = static_cast<uInt>(piece.size());
            const int result = inflate(&stream_, Z_NO_FLUSH);
            const std::size_t produced = piece.size() - stream_.avail_out;
            if (produced > 0) {
                anyOutput = true;
                sink(piece.data(), produced);
            }
            if (result == Z_STREAM_END) {
                return true;
            }
            // The header check reads the first two bytes before it fails.
            if (result == Z_DATA_ERROR && !anyOutput && stream_.total_in <= 2) {
                return false;
            }
            if (result != Z_OK && !(result == Z_BUF_ERROR && produced > 0)) {
                throw EIdHTTPContentEncodingError(std::string("The ") + name +
                                                  " response body is damaged or incomplete");
            }
            if (stream_.avail_in == 0 && produced == 0) {
                throw EIdHTTPContentEncodingError(std::string("The ") + name +
                                                  " response body is incomplete");
            }
        }
    }

private:
    z_stream stream_{};
};

// Decodes one coding; sink receives the pieces.
template <typename Sink>
void DecodeOne(TIdContentCoding coding, const std::string& input, Sink sink) {
    if (coding == TIdContentCoding::Gzip) {
        Inflater inflater(kGzipWindow);
        if (!inflater.Run(input, "gzip", sink)) {
            throw EIdHTTPContentEncodingError("The gzip response body is damaged or incomplete");
        }
        return;
    }
    // "deflate" means the zlib format (RFC 9110 section 8.4.1.2), but some servers send the
    // bare deflate data: that is tried when the zlib header is not there.
    Inflater zlibInflater(kZlibWindow);
    if (zlibInflater.Run(input, "deflate", sink)) {
        return;
    }
    Inflater rawInflater(kRawWindow);
    if (!rawInflater.Run(input, "deflate", sink)) {
        throw EIdHTTPContentEncodingError("The deflate response body is damaged or incomplete");
    }
}

}  // namespace

std::vector<TIdContentCoding> ParseContentCodings(std::string_view value) {
    std::vector<TIdContentCoding> codings;
    std::string rest(value);
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string name = Trim(rest.substr(0, comma));
        if (SameTextAscii(name, "gzip") || SameTextAscii(name, "x-gzip")) {
            codings.push_back(TIdContentCoding::Gzip);
        } else if (SameTextAscii(name, "deflate")) {
            codings.push_back(TIdContentCoding::Deflate);
        } else if (!name.empty() && !SameTextAscii(name, "identity")) {
            throw EIdHTTPContentEncodingError("The response's content coding \"" + name +
                                              "\" is not supported");
        }
        if (comma == std::string::npos) {
            return codings;
        }
        rest.erase(0, comma + 1);
    }
}

void DecodeContent(const std::vector<TIdContentCoding>& codings, std::string encoded, TStream& out,
                   std::int64_t limit) {
    if (encoded.empty()) {
        return;  // an empty body stays empty whatever its coding
    }
    for (std::size_t i = codings.size(); i-- > 0;) {
        std::int64_t total = 0;
        auto count = [&](std::size_t bytes) {
            total += static_cast<std::int64_t>(bytes);
            // A small body may inflate to gigabytes: stop at the limit, not after.
            if (total > limit) {
                throw EIdHTTPResponseTooLarge(TooLargeMessage(limit));
            }
        };
        if (i == 0) {
            DecodeOne(codings[i], encoded, [&](const char* data, std::size_t bytes) {
                count(bytes);
                out.Write(data, static_cast<std::int64_t>(bytes));
            });
        } else {
            std::string decoded;
            DecodeOne(codings[i], encoded, [&](const char* data, std::size_t bytes) {
                count(bytes);
                decoded.append(data, bytes);
            });
            encoded = std::move(decoded);
        }
    }
}

}  // namespace velomaris
