// Sets or unsets environment variables for one test and restores them afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace velomaris::testing {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment() { Restore(); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // Sets the variable, or unsets it for std::nullopt.
    void Set(const std::string& name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }

    // Puts back what the variables held before the first Set, latest first.
    void Restore() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                ::unsetenv(it->first.c_str());
            }
        }
        saved_.clear();
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace velomaris::testing
