// What the component layer tells a windowed backend: which control changed and how, tray icon
// registration and deletion, the engine of a new browser; and typed text entering a combo box
// through its key rules.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "platform/browser/ScriptedBrowserEngine.h"
#include "platform/browser/WebBrowser.h"
#include "platform/ui/Application.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "platform/ui/HeadlessBackend.h"

namespace velomaris {
namespace {

// Records the hooks; everything else is the headless backend's.
class RecordingBackend final : public TUiBackend {
public:
    explicit RecordingBackend(Clock& clock) : headless(clock) {}
    void RunLoop(TApplication& app) override { headless.RunLoop(app); }
    void Wake() override { headless.Wake(); }
    void ShowModalMessage(TApplication& app, const TMessageBoxRecord& box) override {
        headless.ShowModalMessage(app, box);
    }
    void ControlChanged(TControl& control, TChange what) override {
        changes.emplace_back(control.Name(), what);
    }
    void TrayIconChanged(TTrayIcon& icon) override { trayStates.push_back(icon.Registered()); }
    std::unique_ptr<TBrowserEngine> CreateBrowserEngine(TWebBrowser& browser) override {
        if (!makeEngines) {
            return nullptr;
        }
        auto engine = std::make_unique<TScriptedBrowserEngine>(*app);
        enginesMade.push_back(browser.Name());
        return engine;
    }

    THeadlessBackend headless;
    std::vector<std::pair<std::string, TChange>> changes;
    std::vector<bool> trayStates;
    bool makeEngines = false;
    TApplication* app = nullptr;
    std::vector<std::string> enginesMade;
};

class BackendHooksTest : public ::testing::Test {
protected:
    BackendHooksTest() { backend.app = &app; }
    VirtualClock clock;
    RecordingBackend backend{clock};
    TApplication app{backend, clock};
    TForm& form = app.CreateForm<TForm>("Form1", "Main");
};

using Change = std::pair<std::string, TChange>;

TEST_F(BackendHooksTest, EachModelChangeIsReportedOnceAndARepeatedValueNotAtAll) {
    TButton button(&form, "Button1", "go");
    TEdit edit(&form, "Edit1");
    TCheckBox check(&form, "sCheckBox1", "auto");
    TComboBox combo(&form, "sComboBox1");
    TPageControl pages(&form, "sPageControl1", {"a", "b"});
    backend.changes.clear();

    const std::vector<std::pair<std::function<void()>, std::vector<Change>>> cases = {
        {[&] { button.SetCaption("stop"); }, {{"Button1", TChange::chText}}},
        {[&] { button.SetCaption("stop"); }, {}},
        {[&] { button.SetEnabled(false); }, {{"Button1", TChange::chEnabled}}},
        {[&] { button.SetEnabled(false); }, {}},
        {[&] { button.SetVisible(false); }, {{"Button1", TChange::chVisible}}},
        {[&] { button.SetHint("tip"); }, {{"Button1", TChange::chHint}}},
        {[&] { edit.SetText("abc"); }, {{"Edit1", TChange::chText}}},
        {[&] { check.SetChecked(true); }, {{"sCheckBox1", TChange::chChecked}}},
        {[&] { check.SetChecked(true); }, {}},
        {[&] {
             combo.SetItems({"00", "01"});
         },
         {{"sComboBox1", TChange::chItems}}},
        {[&] { combo.SetItemIndex(1); },
         {{"sComboBox1", TChange::chText}, {"sComboBox1", TChange::chItemIndex}}},
        {[&] { combo.SetItemIndex(-1); }, {{"sComboBox1", TChange::chItemIndex}}},
        {[&] { combo.SetItemIndex(-1); }, {}},
        {[&] { pages.SetActivePageIndex(1); }, {{"sPageControl1", TChange::chActivePage}}},
        {[&] { pages.SetActivePageIndex(1); }, {}},
        {[&] { form.SetCaption("Other"); }, {{"Form1", TChange::chText}}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        backend.changes.clear();
        cases[i].first();
        EXPECT_EQ(backend.changes, cases[i].second) << "case " << i;
    }
}

TEST_F(BackendHooksTest, AControlOfNoFormTellsNoBackend) {
    TButton loose(nullptr, "Loose", "x");
    loose.SetCaption("y");
    loose.SetEnabled(false);
    EXPECT_TRUE(backend.changes.empty());
    EXPECT_EQ(loose.Caption(), "y");
}

TEST_F(BackendHooksTest, TrayRegistrationAndDeletionReachTheBackend) {
    TTrayIcon icon(&form, "TrayIcon1");
    icon.Register("tip");
    icon.Delete();
    EXPECT_EQ(backend.trayStates, (std::vector<bool>{true, false}));
}

TEST_F(BackendHooksTest, ABrowserStartsWithTheEngineTheBackendMakesElseABlankOne) {
    TWebBrowser blank(form, "WebBrowser2");
    EXPECT_NE(dynamic_cast<TBlankBrowserEngine*>(&blank.Engine()), nullptr);
    backend.makeEngines = true;
    TWebBrowser page(form, "WebBrowser1");
    EXPECT_NE(dynamic_cast<TScriptedBrowserEngine*>(&page.Engine()), nullptr);
    EXPECT_EQ(backend.enginesMade, std::vector<std::string>{"WebBrowser1"});
}

TEST_F(BackendHooksTest, MenusSayWhetherTheyAreABarOrAPopup) {
    TMenu bar(&form, "MainMenu1");
    TMenu popup(&form, "PopupMenu1", TMenuKind::mkPopup);
    EXPECT_EQ(bar.Kind(), TMenuKind::mkMenuBar);
    EXPECT_EQ(popup.Kind(), TMenuKind::mkPopup);
}

// Typed text passes the box's key filter and length limit one character at a time; a
// double-byte character is taken whole or not at all.
TEST_F(BackendHooksTest, TypedTextKeepsTheKeyRulesAndNeverSplitsADoubleByteCharacter) {
    const std::string zhong = "\xD6\xD0";  // a GBK double-byte character
    auto digitsOnly = [](char& key) {
        if (key < '0' || key > '9') {
            key = '\0';
        }
    };
    auto rejectTrail = [](char& key) {
        if (static_cast<unsigned char>(key) == 0xD0) {
            key = '\0';
        }
    };
    struct Case {
        const char* what;
        std::function<void(char&)> filter;
        int maxLength;
        std::string start;
        std::string typed;
        std::string expected;
    };
    const Case cases[] = {
        {"filter drops letters", digitsOnly, 2, "", "x25", "25"},
        {"limit stops at two", digitsOnly, 2, "", "123", "12"},
        {"filter drops a double-byte character", digitsOnly, 0, "1", zhong + "2", "12"},
        {"no filter: whole character", nullptr, 0, "a", zhong, "a" + zhong},
        {"fits exactly", nullptr, 3, "a", zhong, "a" + zhong},
        {"would be cut in half; a later key still fits", nullptr, 2, "a", zhong + "b", "ab"},
        {"a rejected trail byte drops the lead too", rejectTrail, 0, "a", zhong + "b", "ab"},
        {"a lone lead byte at the end is a key of its own", nullptr, 0, "", "a\xD6", "a\xD6"},
    };
    for (const Case& c : cases) {
        TComboBox combo(&form, "sComboBox3");
        combo.SetText(c.start);
        combo.SetMaxLength(c.maxLength);
        combo.OnKeyPress = c.filter;
        combo.TypeText(c.typed);
        EXPECT_EQ(combo.Text(), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace velomaris
