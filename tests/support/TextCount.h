// Counting in test output and logs.
#pragma once

#include <cstddef>
#include <string>

namespace velomaris {

// How often part occurs in text, overlapping occurrences included.
inline std::size_t CountOccurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace velomaris
