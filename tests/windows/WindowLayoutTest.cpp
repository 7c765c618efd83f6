// The layout each window is given: every control a user sees has a place, every place names a
// control or panel that exists, nothing sticks out of its container (so nothing is cut off),
// and the main window has the sizes its users know.
#include <gtest/gtest.h>

#include <string>

#include "app/Forms.h"
#include "platform/browser/WebBrowser.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "tests/support/HeadlessHarness.h"
#include "windows/WindowLayouts.h"

namespace velomaris {
namespace {

class WindowLayoutTest : public ::testing::Test {
protected:
    WindowLayoutTest() { CreateForms(harness.App()); }

    // The size of the container a place refers to: the client area, a panel, or a page of a
    // page control (its size less the tab row and the frame).
    static TRect ContainerBounds(const TWindowLayout& layout, const TPlace& place) {
        if (place.container.empty()) {
            return {0, 0, layout.clientWidth, layout.clientHeight};
        }
        if (const TPanelLayout* panel = layout.FindPanel(place.container)) {
            return {0, 0, panel->place.bounds.width, panel->place.bounds.height};
        }
        if (const TControlLayout* pages = layout.FindControl(place.container)) {
            return {0, 0, pages->place.bounds.width - kPageFrameWidth,
                    pages->place.bounds.height - kTabRowHeight};
        }
        ADD_FAILURE() << "no container " << place.container;
        return {};
    }

    static bool Inside(const TRect& inner, const TRect& outer) {
        return inner.left >= outer.left && inner.top >= outer.top &&
               inner.Right() <= outer.Right() && inner.Bottom() <= outer.Bottom() &&
               inner.width > 0 && inner.height > 0;
    }

    HeadlessHarness harness;
};

TEST_F(WindowLayoutTest, EveryPlaceNamesAPartOfItsWindowAndFitsItsContainer) {
    for (const auto& form : harness.App().Forms()) {
        const TWindowLayout& layout = form->Layout();
        ASSERT_GT(layout.clientWidth, 0) << form->Name();
        for (const TPanelLayout& panel : layout.panels) {
            EXPECT_TRUE(Inside(panel.place.bounds, ContainerBounds(layout, panel.place)))
                << form->Name() << " " << panel.name;
        }
        for (const TControlLayout& entry : layout.controls) {
            auto* control = dynamic_cast<TControl*>(form->FindComponent(entry.name));
            EXPECT_NE(control, nullptr) << form->Name() << " places unknown " << entry.name;
            if (entry.place.page >= 0) {
                auto* pages =
                    dynamic_cast<TPageControl*>(form->FindComponent(entry.place.container));
                ASSERT_NE(pages, nullptr) << form->Name() << " " << entry.name;
                EXPECT_LT(entry.place.page, pages->PageCount())
                    << form->Name() << " " << entry.name;
            }
            if (!entry.clipped) {
                EXPECT_TRUE(Inside(entry.place.bounds, ContainerBounds(layout, entry.place)))
                    << form->Name() << " " << entry.name << " sticks out";
            }
        }
    }
}

TEST_F(WindowLayoutTest, EveryControlAUserSeesHasAPlace) {
    for (const auto& form : harness.App().Forms()) {
        for (TComponent* component : form->Components()) {
            auto* control = dynamic_cast<TControl*>(component);
            // Menu items live in their menus; hidden fields and step buttons are never shown.
            if (control == nullptr || dynamic_cast<TMenuItem*>(control) != nullptr ||
                !control->Visible()) {
                continue;
            }
            EXPECT_NE(form->Layout().FindControl(control->Name()), nullptr)
                << form->Name() << " " << control->Name() << " has no place";
        }
    }
}

TEST_F(WindowLayoutTest, TheMainWindowHasItsKnownSizes) {
    const TWindowLayout& main = harness.App().MainForm()->Layout();
    EXPECT_EQ(main.frame, TFrameKind::fkMainWindow);
    EXPECT_EQ(main.clientWidth, 926);
    EXPECT_EQ(main.clientHeight, 638);
    EXPECT_EQ(main.fontPixels, 13);
    EXPECT_TRUE(main.boldFont);
    struct Size {
        const char* name;
        int width;
        int height;
    };
    for (const Size& s :
         {Size{"GroupBox5", 926, 493}, Size{"sPanel2", 926, 44}, Size{"sPanel1", 926, 102}}) {
        const TPanelLayout* panel = main.FindPanel(s.name);
        ASSERT_NE(panel, nullptr) << s.name;
        EXPECT_EQ(panel->place.bounds.width, s.width) << s.name;
        EXPECT_EQ(panel->place.bounds.height, s.height) << s.name;
    }
    const TControlLayout* page = main.FindControl("WebBrowser1");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->place.container, "GroupBox5");
    EXPECT_EQ((std::pair{page->place.bounds.width, page->place.bounds.height}),
              (std::pair{922, 445}));
    const TControlLayout* side = main.FindControl("WebBrowser2");
    ASSERT_NE(side, nullptr);
    EXPECT_EQ(side->place.container, "sPanel1");
    EXPECT_EQ(side->place.bounds, (TRect{-35, -50, 992, 2000}));
    const TControlLayout* status = main.FindControl("Label7");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->bold);
    EXPECT_EQ(status->textColor, (TRgb{0, 255, 0}));
}

// The settings window's FTP tab holds the secure-transport settings too, so it is taller than
// the 242 px of its original layout.
TEST_F(WindowLayoutTest, DialogClientAreas) {
    struct Size {
        const char* form;
        int width;
        int height;
    };
    for (const Size& s : {Size{"Form2", 360, 300}, Size{"Form3", 444, 328}, Size{"Form4", 427, 232},
                          Size{"Form5", 515, 238}, Size{"Form7", 515, 238}, Size{"Form8", 515, 238},
                          Size{"Form9", 287, 216}}) {
        for (const auto& form : harness.App().Forms()) {
            if (form->Name() == s.form) {
                EXPECT_EQ(form->Layout().frame, TFrameKind::fkDialog) << s.form;
                EXPECT_EQ(form->Layout().clientWidth, s.width) << s.form;
                EXPECT_EQ(form->Layout().clientHeight, s.height) << s.form;
            }
        }
    }
}

}  // namespace
}  // namespace velomaris
