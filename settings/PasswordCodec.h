// The scrambled form in which the FTP password is stored under the key ftppass.
//
// This keeps the password from being read at a glance; it is no encryption: both keys travel
// inside the stored text. A stored form is the password plus 16 bytes: the second key, the
// password and a time stamp scrambled twice in reversed order, and the scrambled first key.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace velomaris {

// Where the codec takes its randomness and the moment of encoding from. The defaults draw a
// fresh key and read the local clock; a test supplies fixed ones to reproduce a stored form.
struct PasswordCodecSources {
    // A key from 1 to 126 inclusive, drawn anew for every ScrambleText.
    std::function<unsigned char()> drawKey;
    // The local date and time of the encoding.
    std::function<std::tm()> localNow;
};

// The sources the program uses: a uniform draw of 1..126 and the local clock.
PasswordCodecSources DefaultPasswordCodecSources();

// The key byte followed by the text with the low four bits of every byte XORed with the key's
// low four bits. One byte longer than the text. Raises Exception when the drawn key lies
// outside 1..126.
std::string ScrambleText(std::string_view text);
std::string ScrambleText(std::string_view text, const PasswordCodecSources& sources);

// The inverse: the first byte is the key, the rest is unscrambled with it. The empty text and
// a one-byte text give the empty text.
std::string UnscrambleText(std::string_view text);

// The stored form of the password: ScrambleText(reverse(ScrambleText(password + stamp))),
// where stamp is the local time as 14 digits YYYYMMDDhhmmss.
std::string EncodePassword(std::string_view password);
std::string EncodePassword(std::string_view password, const PasswordCodecSources& sources);

// The password of a stored form. Never fails: any text decodes to something, and every text
// of 16 bytes or fewer (including the readers' short default) decodes to the empty password.
std::string DecodePassword(std::string_view stored);

}  // namespace velomaris
