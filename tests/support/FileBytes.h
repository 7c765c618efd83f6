// Raw file contents for tests that check files byte for byte.
#pragma once

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace velomaris::testing {

// Every byte of a literal, NUL bytes included (without the terminating one).
template <size_t N>
std::string Literal(const char (&text)[N]) {
    return std::string(text, N - 1);
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline mode_t FileMode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

}  // namespace velomaris::testing
