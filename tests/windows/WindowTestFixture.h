// A program directory and a home directory of their own for tests of the settings windows, the
// headless application, and a stand-in main window whose reload button records its clicks.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Stream.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "settings/ProfileFile.h"
#include "tests/support/HeadlessHarness.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace velomaris {

class WindowTest : public ::testing::Test {
protected:
    WindowTest() {
        environment.Set("HOME", home.Path());
        environment.Set("XDG_CONFIG_HOME", std::nullopt);
        reload.OnClick = [this] { events.push_back("reload"); };
        harness.WhileBoxOpen(
            [this](const TMessageBoxRecord& box) { events.push_back("box " + box.text); });
    }

    std::string SettingsFile() const { return dir.File("setfile.ini"); }
    TProfileFile Profile() const { return TProfileFile(SettingsFile()); }
    std::string Read(const char* section, const char* key) const {
        return Profile().ReadString(section, key, "(missing)");
    }
    void Write(const char* section, const char* key, const std::string& value) const {
        Profile().WriteString(section, key, value);
    }
    std::string FileBytes() const {
        return FileExists(SettingsFile()) ? ReadWholeFile(SettingsFile()) : "(no file)";
    }
    // The boxes shown since the last call; forgets them and the events.
    std::vector<TMessageBoxRecord> TakeBoxes() {
        std::vector<TMessageBoxRecord> boxes = harness.Messages();
        harness.ClearMessages();
        events.clear();
        return boxes;
    }

    TempDir dir;
    ScopedProgramDirectory programDirectory{dir.Path()};
    TempDir home;
    testing::ScopedEnvironment environment;
    HeadlessHarness harness;
    TForm& mainForm = harness.App().CreateForm<TForm>("Form1", "VelomarisV3.0");
    TButton reload{&mainForm, "sButton1"};
    // "box <text>" while a box is open, "reload" when the main window re-reads its settings.
    std::vector<std::string> events;
};

inline TMessageBoxRecord Box(std::string text, std::string title, TMessageBoxIcon icon) {
    return TMessageBoxRecord{TMessageKind::mkMessageBox, std::move(text), std::move(title), icon};
}

// Failing comparisons print boxes readably (UTF-8) instead of as GBK bytes.
inline void PrintTo(const TMessageBoxRecord& box, std::ostream* out) {
    *out << ToString(box);
}

// Names of controls, for comparing tab orders.
inline std::vector<std::string> Names(const std::vector<TControl*>& controls) {
    std::vector<std::string> names;
    for (const TControl* control : controls) {
        names.push_back(control->Name());
    }
    return names;
}

}  // namespace velomaris
