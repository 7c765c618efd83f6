// GBK shown on a screen: a text that is not valid GBK is still shown, never refused.
#pragma once

#include <string>
#include <string_view>

namespace velomaris {

// GBK to UTF-8 for display. Each byte that does not start a valid GBK character becomes
// U+FFFD and the conversion goes on after it. The result is for showing only: converting it
// back would not give the original bytes, so a caller never writes it back.
std::string GbkToUtf8Lossy(std::string_view gbk);

}  // namespace velomaris
