// The line-break rule of the text buffers, applied block by block, so a page of any size can be
// compared or rewritten without holding it whole in memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Stream.h"

namespace velomaris {

// Turns every lone CR and every lone LF into CR LF; CR LF pairs stay, also when a pair is
// split between two pieces.
class TLineBreakNormalizer {
public:
    // Appends the normalised form of the next piece of the text to out.
    void Append(std::string_view piece, std::string& out);

private:
    // The previous piece ended with a CR, whose CR LF is already out: a LF that starts the
    // next piece belongs to it.
    bool afterCr_ = false;
};

// Reads a stream from its position to its end in blocks, under the line-break rule.
class TNormalizedReader {
public:
    static constexpr std::size_t kDefaultBlockSize = 65536;

    explicit TNormalizedReader(TStream& source, std::size_t blockSize = kDefaultBlockSize);

    // The next piece of the normalised text, valid until the next call; empty only at the end.
    std::string_view Next();

private:
    TStream& source_;
    std::string block_;
    std::string piece_;
    TLineBreakNormalizer normalizer_;
};

// Whether the normalised text of a reader is the same bytes as another's, or as a text.
bool SameText(TNormalizedReader& a, TNormalizedReader& b);
bool SameText(TNormalizedReader& a, std::string_view text);

// Writes the normalised text of a reader to a stream.
void CopyText(TNormalizedReader& from, TStream& to);

}  // namespace velomaris
