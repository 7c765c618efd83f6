#include "windows/WindowLayouts.h"

#include <string>

namespace velomaris {

namespace {

// The colour of the edit and combo boxes of the settings windows.
constexpr TRgb kBoxBackground{234, 244, 251};
constexpr TRgb kLimeGreen{0, 255, 0};
constexpr TRgb kLinkBlue{0, 0, 255};

// Builds a layout entry by entry, each placed in the current container.
class LayoutBuilder {
public:
    LayoutBuilder(TFrameKind frame, int width, int height) {
        layout_.frame = frame;
        layout_.clientWidth = width;
        layout_.clientHeight = height;
    }
    // Following entries sit in this container (empty: the client area), on this page.
    LayoutBuilder& In(std::string container, int page = -1) {
        container_ = std::move(container);
        page_ = page;
        return *this;
    }
    LayoutBuilder& Panel(std::string name, TPanelKind kind, TRect bounds) {
        layout_.panels.push_back({std::move(name), kind, {container_, page_, bounds}});
        return *this;
    }
    TControlLayout& Control(std::string name, TRect bounds) {
        TControlLayout control;
        control.name = std::move(name);
        control.place = {container_, page_, bounds};
        layout_.controls.push_back(std::move(control));
        return layout_.controls.back();
    }
    // A text box of the settings windows: tinted background.
    TControlLayout& Box(std::string name, TRect bounds) {
        TControlLayout& box = Control(std::move(name), bounds);
        box.background = kBoxBackground;
        return box;
    }
    // A label whose text wraps inside its bounds.
    TControlLayout& Note(std::string name, TRect bounds) {
        TControlLayout& note = Control(std::move(name), bounds);
        note.wordWrap = true;
        return note;
    }
    TWindowLayout& Layout() { return layout_; }

private:
    TWindowLayout layout_;
    std::string container_;
    int page_ = -1;
};

}  // namespace

TWindowLayout Form1Layout() {
    // From top to bottom: the browser frame (493 px) with the page browser and the status
    // line, the button bar (44 px), and the strip (102 px) that shows a band of the side
    // browser. The strip overlaps the bar by one pixel: together they are one pixel taller
    // than the client area.
    LayoutBuilder b(TFrameKind::fkMainWindow, 926, 638);
    b.Layout().fontPixels = 13;
    b.Layout().boldFont = true;
    b.Panel("GroupBox5", TPanelKind::pkGroupBox, {0, 0, 926, 493});
    b.Panel("sPanel2", TPanelKind::pkPanel, {0, 493, 926, 44});
    b.Panel("sPanel1", TPanelKind::pkPanel, {0, 536, 926, 102});
    b.In("GroupBox5");
    b.Control("WebBrowser1", {2, 6, 922, 445});
    TControlLayout& status = b.Control("Label7", {10, 458, 906, 24});
    status.textColor = kLimeGreen;
    status.bold = true;
    b.In("sPanel2");
    b.Control("sLabel1", {10, 13, 236, 18});
    int x = 256;
    for (const char* button : {"Button2", "Button4", "Button1", "Button6", "Button7"}) {
        b.Control(button, {x, 7, 124, 30});
        x += 132;
    }
    // Only a band of the side page shows: the browser is larger than the strip and offset
    // up and to the left inside it.
    b.In("sPanel1");
    b.Control("WebBrowser2", {-35, -50, 992, 2000}).clipped = true;
    return b.Layout();
}

TWindowLayout Form2Layout() {
    // The FTP tab also holds the secure-transport settings (passive mode, FTPS, certificate
    // fingerprint): the window is 58 px taller than the 242 px it has without them, so nothing
    // on the tab is cut off. Both tabs share the height.
    LayoutBuilder b(TFrameKind::fkDialog, 360, 300);
    b.Control("sPageControl1", {0, 0, 360, 300});
    const char* const ftpRows[][2] = {
        {"sLabel1", "sEdit1"}, {"sLabel2", "sEdit2"}, {"sLabel3", "sEdit3"}, {"sLabel4", "sEdit4"}};
    b.In("sPageControl1", 0);
    int y = 10;
    for (const auto& [label, edit] : ftpRows) {
        b.Control(label, {10, y + 3, 100, 18});
        b.Box(edit, {112, y, 230, 24});
        y += 30;
    }
    b.Control("sCheckBox1", {10, 130, 166, 22});
    b.Control("sCheckBox2", {180, 130, 166, 22});
    b.Control("sLabel11", {10, 161, 100, 18});
    b.Box("sEdit7", {112, 158, 230, 24});
    b.Note("sLabel5", {10, 188, 336, 42});
    b.Control("sBitBtn1", {166, 236, 84, 28});
    b.Control("sBitBtn2", {258, 236, 84, 28});
    b.In("sPageControl1", 1);
    b.Control("sLabel6", {10, 13, 122, 18});
    b.Box("sEdit5", {134, 10, 208, 24});
    b.Control("sLabel7", {10, 43, 122, 18});
    b.Box("sEdit6", {134, 40, 208, 24});
    b.Note("sLabel8", {10, 70, 336, 70});
    b.Control("sLabel9", {10, 142, 336, 16});
    b.Control("sLabel10", {10, 160, 336, 16});
    b.Control("sBitBtn3", {166, 236, 84, 28});
    b.Control("sBitBtn4", {258, 236, 84, 28});
    return b.Layout();
}

TWindowLayout Form3Layout() {
    LayoutBuilder b(TFrameKind::fkDialog, 444, 328);
    b.Control("sPageControl1", {0, 0, 444, 328});
    // Each tab: its text, and under it the link to the author's site.
    const char* const tabs[][2] = {{"sLabel1", "sLabel4"}, {"sLabel2", "sLabel3"}};
    for (int page = 0; page < 2; ++page) {
        b.In("sPageControl1", page);
        b.Note(tabs[page][0], {12, 12, 416, 250});
        b.Control(tabs[page][1], {12, 270, 416, 20}).textColor = kLinkBlue;
    }
    return b.Layout();
}

TWindowLayout Form4Layout() {
    LayoutBuilder b(TFrameKind::fkDialog, 427, 232);
    b.Control("sPageControl1", {0, 0, 427, 232});
    b.In("sPageControl1", 0);
    b.Control("sLabel1", {20, 21, 110, 18});
    b.Box("sComboBox3", {132, 17, 72, 26}).bold = true;
    b.Control("sLabel2", {210, 21, 24, 18});
    b.Panel("sBevel1", TPanelKind::pkLine, {10, 56, 403, 2});
    b.Note("sLabel3", {12, 66, 399, 78});
    b.Panel("sBevel2", TPanelKind::pkLine, {10, 150, 403, 2});
    b.Control("sBitBtn2", {221, 160, 92, 30});
    b.Control("sBitBtn1", {321, 160, 92, 30});
    b.In("sPageControl1", 1);
    b.Control("sLabel4", {20, 21, 50, 18});
    b.Box("sComboBox1", {72, 17, 66, 26}).bold = true;
    b.Control("sLabel5", {142, 21, 24, 18});
    b.Box("sComboBox2", {170, 17, 66, 26}).bold = true;
    b.Control("sLabel6", {240, 21, 24, 18});
    b.Panel("sBevel3", TPanelKind::pkLine, {10, 56, 403, 2});
    b.Note("sLabel7", {12, 66, 399, 78});
    b.Panel("sBevel4", TPanelKind::pkLine, {10, 150, 403, 2});
    b.Control("sBitBtn4", {221, 160, 92, 30});
    b.Control("sBitBtn3", {321, 160, 92, 30});
    return b.Layout();
}

TWindowLayout ResultFormLayout() {
    // Three framed areas: the greeting, the two addresses, the time; the close button below.
    LayoutBuilder b(TFrameKind::fkDialog, 515, 238);
    b.Panel("sGroupBox1", TPanelKind::pkGroupBox, {8, 6, 499, 60});
    b.Panel("sGroupBox2", TPanelKind::pkGroupBox, {8, 72, 499, 60});
    b.Panel("sGroupBox3", TPanelKind::pkGroupBox, {8, 138, 499, 36});
    b.In("sGroupBox1");
    b.Control("sLabel1", {8, 10, 482, 18});
    b.Control("sLabel3", {8, 34, 482, 18});
    b.In("sGroupBox2");
    b.Control("sLabel2", {8, 10, 482, 18}).textColor = kLinkBlue;
    b.Control("sLabel4", {8, 34, 482, 18}).textColor = kLinkBlue;
    b.In("sGroupBox3");
    b.Control("sLabel5", {8, 9, 482, 18});
    b.In("");
    b.Control("sBitBtn1", {212, 190, 92, 32});
    return b.Layout();
}

TWindowLayout Form6Layout() {
    return LayoutBuilder(TFrameKind::fkDialog, 320, 240).Layout();
}

TWindowLayout Form9Layout() {
    LayoutBuilder b(TFrameKind::fkDialog, 287, 216);
    b.Control("sCheckBox1", {20, 14, 250, 22});
    b.Panel("sGroupBox1", TPanelKind::pkGroupBox, {10, 44, 267, 112});
    b.In("sGroupBox1");
    b.Control("sRadioButton1", {12, 12, 245, 24});
    b.Control("sRadioButton2", {12, 44, 245, 24});
    b.Control("sRadioButton3", {12, 76, 245, 24});
    b.In("");
    b.Control("sBitBtn1", {50, 172, 88, 30});
    b.Control("sBitBtn2", {150, 172, 88, 30});
    return b.Layout();
}

}  // namespace velomaris
