// Opening a web address in the user's default browser (the "open" verb of the desktop shell).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velomaris {

// Hands an address to whatever shows it. Callers ignore whether that worked: there is nothing
// more they could do about a missing browser.
class AddressOpener {
public:
    virtual ~AddressOpener() = default;
    // True when the address was handed on (not whether a browser then showed it).
    virtual bool Open(const std::string& gbkAddress) = 0;
};

// Runs "xdg-open <address>" fully detached: the program neither waits for it nor leaves a
// zombie behind, and the child inherits no open descriptor beyond stdin/stdout/stderr (all
// /dev/null), no blocked signal and no ignored SIGPIPE.
class XdgOpenAddressOpener : public AddressOpener {
public:
    // The opener program: a name looked up in PATH when it holds no "/", else a path.
    explicit XdgOpenAddressOpener(std::string program = "xdg-open");
    bool Open(const std::string& gbkAddress) override;

private:
    std::string program_;
};

// Keeps every address instead of opening it (tests, and runs without a desktop).
class RecordingAddressOpener : public AddressOpener {
public:
    bool Open(const std::string& gbkAddress) override {
        addresses_.push_back(gbkAddress);
        return true;
    }
    const std::vector<std::string>& Addresses() const { return addresses_; }

private:
    std::vector<std::string> addresses_;
};

// Opens the address with the current opener (an XdgOpenAddressOpener unless a
// ScopedAddressOpener is in place); the result is ignored by design.
void OpenAddress(const std::string& gbkAddress);

// Installs another opener for as long as it lives; the opener must outlive it.
class ScopedAddressOpener {
public:
    explicit ScopedAddressOpener(AddressOpener& opener);
    ~ScopedAddressOpener();
    ScopedAddressOpener(const ScopedAddressOpener&) = delete;
    ScopedAddressOpener& operator=(const ScopedAddressOpener&) = delete;

private:
    AddressOpener* previous_;
};

}  // namespace velomaris
