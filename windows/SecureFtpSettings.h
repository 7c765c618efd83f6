// The three FTP settings beyond the address and the login: passive mode ("ftppasv"), explicit
// TLS ("ftptls") and the pinned certificate fingerprint ("ftpcert"), all in section FTP参数.
// Absent, they mean active plain FTP without a pin, so a file that never had them keeps its
// behaviour, and a save leaves them out until one is set.
#pragma once

#include <string>

#include "settings/ProfileFile.h"

namespace velomaris {

struct TSecureFtpSettings {
    bool passive = false;        // "ftppasv=1"
    bool tls = false;            // "ftptls=1"
    std::string certificatePin;  // "ftpcert", empty: none
};

// "1" switches a mode on; "0", any other value or no key leaves it off.
TSecureFtpSettings ReadSecureFtpSettings(const TProfileFile& profile);

// Writes each key whose value is not the default or that the file already holds (so turning a
// mode off is stored), after the other FTP keys. Raises as TProfileFile::WriteString.
void WriteSecureFtpSettings(const TProfileFile& profile, const TSecureFtpSettings& settings);

}  // namespace velomaris
