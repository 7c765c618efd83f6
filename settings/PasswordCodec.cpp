#include "settings/PasswordCodec.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#include "platform/Exception.h"

namespace velomaris {

namespace {

constexpr size_t kTimeStampLength = 14;

std::string Transform(std::string_view text, unsigned char key) {
    const unsigned char mask = key & 0x0F;
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(static_cast<unsigned char>(c) ^ mask);
    }
    return out;
}

unsigned char DrawRandomKey() {
    // Seeded once per thread from the system's entropy source; every call is an independent
    // uniform draw, so two keys drawn within one clock tick need not coincide.
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> distribution(1, 126);
    return static_cast<unsigned char>(distribution(generator));
}

std::tm LocalNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::string TimeStamp(const std::tm& local) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::string stamp(buffer);
    if (stamp.size() != kTimeStampLength) {
        throw Exception("The clock gives a date that does not fit a 14-digit time stamp: " + stamp);
    }
    return stamp;
}

std::string Reversed(std::string text) {
    std::reverse(text.begin(), text.end());
    return text;
}

}  // namespace

PasswordCodecSources DefaultPasswordCodecSources() {
    return PasswordCodecSources{DrawRandomKey, LocalNow};
}

std::string ScrambleText(std::string_view text) {
    return ScrambleText(text, DefaultPasswordCodecSources());
}

std::string ScrambleText(std::string_view text, const PasswordCodecSources& sources) {
    const unsigned char key = sources.drawKey();
    if (key < 1 || key > 126) {
        throw Exception("Password key " + std::to_string(key) + " is outside 1..126");
    }
    return std::string(1, static_cast<char>(key)) + Transform(text, key);
}

std::string UnscrambleText(std::string_view text) {
    if (text.empty()) {
        return std::string();
    }
    return Transform(text.substr(1), static_cast<unsigned char>(text.front()));
}

std::string EncodePassword(std::string_view password) {
    return EncodePassword(password, DefaultPasswordCodecSources());
}

std::string EncodePassword(std::string_view password, const PasswordCodecSources& sources) {
    const std::string withStamp = std::string(password) + TimeStamp(sources.localNow());
    return ScrambleText(Reversed(ScrambleText(withStamp, sources)), sources);
}

std::string DecodePassword(std::string_view stored) {
    const std::string withStamp = UnscrambleText(Reversed(UnscrambleText(stored)));
    if (withStamp.size() <= kTimeStampLength) {
        return std::string();
    }
    return withStamp.substr(0, withStamp.size() - kTimeStampLength);
}

}  // namespace velomaris
