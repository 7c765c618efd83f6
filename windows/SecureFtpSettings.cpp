#include "windows/SecureFtpSettings.h"

#include "windows/SetFileSections.h"

namespace velomaris {

namespace {

// No value typed into a box holds a control byte, so no stored one reads as this.
constexpr char kAbsent[] = "\x01(absent)";

bool Holds(const TProfileFile& profile, const char* key) {
    return profile.ReadString(kSectionFtp, key, kAbsent) != kAbsent;
}

void WriteUnlessDefault(const TProfileFile& profile, const char* key, const std::string& value,
                        const std::string& defaultValue) {
    if (value != defaultValue || Holds(profile, key)) {
        profile.WriteString(kSectionFtp, key, value);
    }
}

}  // namespace

TSecureFtpSettings ReadSecureFtpSettings(const TProfileFile& profile) {
    TSecureFtpSettings settings;
    settings.passive = profile.ReadString(kSectionFtp, "ftppasv", "0") == "1";
    settings.tls = profile.ReadString(kSectionFtp, "ftptls", "0") == "1";
    settings.certificatePin = profile.ReadString(kSectionFtp, "ftpcert", "");
    return settings;
}

void WriteSecureFtpSettings(const TProfileFile& profile, const TSecureFtpSettings& settings) {
    WriteUnlessDefault(profile, "ftppasv", settings.passive ? "1" : "0", "0");
    WriteUnlessDefault(profile, "ftptls", settings.tls ? "1" : "0", "0");
    WriteUnlessDefault(profile, "ftpcert", settings.certificatePin, "");
}

}  // namespace velomaris
