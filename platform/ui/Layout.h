// Where the controls of a window sit and how they look: the window's frame and client size,
// the panels and frames that group controls, and for each control its container, bounds and
// the few looks a window asks for (bold text, colours). One value per window, made in one
// place per window; a windowed backend only follows it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velomaris {

struct TRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    bool operator==(const TRect&) const = default;
};

struct TRgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const TRgb&) const = default;
};

enum class TFrameKind {
    fkMainWindow,  // fixed size, system menu and minimise box, no maximise box
    fkDialog,      // fixed size, close box only, kept above other windows
};

enum class TPanelKind {
    pkPanel,     // a plain area (a bar or a strip)
    pkGroupBox,  // a framed area
    pkLine,      // a horizontal separator line
};

// Where something sits: in the client area (container empty), in a panel, or on one page of a
// page control (page >= 0).
struct TPlace {
    std::string container;
    int page = -1;
    TRect bounds;
};

struct TPanelLayout {
    std::string name;
    TPanelKind kind = TPanelKind::pkPanel;
    TPlace place;
};

struct TControlLayout {
    std::string name;  // the component's name
    TPlace place;
    bool bold = false;
    bool wordWrap = false;  // a label whose text wraps inside its bounds
    // Larger than its container on purpose: the container shows only a part of it.
    bool clipped = false;
    std::optional<TRgb> textColor;
    std::optional<TRgb> background;
};

struct TWindowLayout {
    TFrameKind frame = TFrameKind::fkDialog;
    int clientWidth = 0;
    int clientHeight = 0;
    int fontPixels = 12;
    bool boldFont = false;  // the window's font, and so every control's, is bold
    std::vector<TPanelLayout> panels;
    std::vector<TControlLayout> controls;

    const TControlLayout* FindControl(const std::string& name) const;
    const TPanelLayout* FindPanel(const std::string& name) const;
};

}  // namespace velomaris
