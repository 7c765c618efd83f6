// What a message box or plain message dialog shows, and the text rule of the general error
// report.
#pragma once

#include <string>
#include <string_view>

namespace velomaris {

enum class TMessageBoxIcon {
    mbNone,
    mbWarning,  // the exclamation mark: the workflows use it for success messages
    mbError,
    mbInformation,
    mbQuestion,
};

enum class TMessageKind {
    mkMessageBox,   // text, title, icon and an OK button
    mkPlainDialog,  // text and OK only, captioned with the application title
};

struct TMessageBoxRecord {
    TMessageKind kind = TMessageKind::mkMessageBox;
    std::string text;   // GBK
    std::string title;  // GBK
    TMessageBoxIcon icon = TMessageBoxIcon::mbNone;

    bool operator==(const TMessageBoxRecord&) const = default;
};

// "warning", "error", ... for logs and test output.
const char* IconName(TMessageBoxIcon icon);

// The text the general error report shows for an exception message: the message with "."
// appended unless its last byte already sorts at or before "." (so "Failed." or "Failed!" stay
// as they are). An empty message stays empty.
std::string ErrorReportText(std::string_view message);

}  // namespace velomaris
