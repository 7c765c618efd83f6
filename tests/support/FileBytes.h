// Raw file contents for tests that check files byte for byte, and test byte patterns.
#pragma once

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <random>
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

// Bytes 0..255 repeated with a shift every 256 bytes, so a shifted or lost block shows.
inline std::string PatternBytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

// Bytes that no encoding or line-break rule leaves alone, the same for the same seed.
inline std::string RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

inline mode_t FileMode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

}  // namespace velomaris::testing
