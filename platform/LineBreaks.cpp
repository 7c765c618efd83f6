#include "platform/LineBreaks.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace velomaris {

namespace {

// Compares two texts that arrive in pieces of unrelated sizes.
bool SamePieces(const std::function<std::string_view()>& nextA,
                const std::function<std::string_view()>& nextB) {
    std::string_view a = nextA();
    std::string_view b = nextB();
    while (!a.empty() && !b.empty()) {
        const std::size_t n = std::min(a.size(), b.size());
        if (std::memcmp(a.data(), b.data(), n) != 0) {
            return false;
        }
        a.remove_prefix(n);
        b.remove_prefix(n);
        if (a.empty()) {
            a = nextA();
        }
        if (b.empty()) {
            b = nextB();
        }
    }
    return a.empty() && b.empty();
}

}  // namespace

void TLineBreakNormalizer::Append(std::string_view piece, std::string& out) {
    if (piece.empty()) {
        return;
    }
    const char* p = piece.data();
    const char* const end = p + piece.size();
    if (afterCr_ && *p == '\n') {
        ++p;
    }
    afterCr_ = false;
    // The runs between line breaks are copied whole: pages are mostly such runs.
    const char* cr = nullptr;
    const char* lf = nullptr;
    while (p != end) {
        if (cr == nullptr || cr < p) {
            cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
            if (cr == nullptr) {
                cr = end;
            }
        }
        if (lf == nullptr || lf < p) {
            lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            if (lf == nullptr) {
                lf = end;
            }
        }
        const char* brk = std::min(cr, lf);
        out.append(p, static_cast<size_t>(brk - p));
        if (brk == end) {
            break;
        }
        out += "\r\n";
        p = brk + 1;
        if (*brk == '\r') {
            if (p == end) {
                afterCr_ = true;
            } else if (*p == '\n') {
                ++p;
            }
        }
    }
}

TNormalizedReader::TNormalizedReader(TStream& source, std::size_t blockSize)
    : source_(source), block_(std::max<std::size_t>(blockSize, 1), '\0') {}

std::string_view TNormalizedReader::Next() {
    piece_.clear();
    // A block that is a lone LF completing a CR LF gives nothing: read on.
    while (piece_.empty()) {
        const std::int64_t n =
            source_.Read(block_.data(), static_cast<std::int64_t>(block_.size()));
        if (n <= 0) {
            break;
        }
        normalizer_.Append(std::string_view(block_.data(), static_cast<size_t>(n)), piece_);
    }
    return piece_;
}

bool SameText(TNormalizedReader& a, TNormalizedReader& b) {
    return SamePieces([&a] { return a.Next(); }, [&b] { return b.Next(); });
}

bool SameText(TNormalizedReader& a, std::string_view text) {
    bool given = false;
    return SamePieces([&a] { return a.Next(); },
                      [&given, text] {
                          const std::string_view piece = given ? std::string_view() : text;
                          given = true;
                          return piece;
                      });
}

void CopyText(TNormalizedReader& from, TStream& to) {
    for (std::string_view piece = from.Next(); !piece.empty(); piece = from.Next()) {
        to.Write(piece.data(), static_cast<std::int64_t>(piece.size()));
    }
}

}  // namespace velomaris
