#include "platform/LossyText.h"

#include <iconv.h>

#include <cerrno>

namespace velomaris {

namespace {

constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";

}  // namespace

std::string GbkToUtf8Lossy(std::string_view gbk) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // Without the converter only ASCII can be shown as it is.
        std::string out;
        for (unsigned char c : gbk) {
            out += c < 0x80 ? std::string(1, static_cast<char>(c)) : kReplacementCharacter;
        }
        return out;
    }
    std::string out;
    char* in = const_cast<char*>(gbk.data());
    size_t inLeft = gbk.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (rc != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        // EILSEQ or a character cut off at the end: one byte is shown as U+FFFD, and the
        // conversion starts again right after it.
        out += kReplacementCharacter;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace velomaris
