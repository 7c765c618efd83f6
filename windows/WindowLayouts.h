// The layout of each window: frame, client size, panels, and where each control sits. The
// program hands each form its layout when it creates the forms; a windowed backend follows it.
#pragma once

#include "platform/ui/Layout.h"

namespace velomaris {

TWindowLayout Form1Layout();       // the main window
TWindowLayout Form2Layout();       // FTP and site settings
TWindowLayout Form3Layout();       // help
TWindowLayout Form4Layout();       // update settings
TWindowLayout ResultFormLayout();  // Form5, Form7 and Form8 look alike
TWindowLayout Form6Layout();       // created, never shown
TWindowLayout Form9Layout();       // start-up settings

// The room a page control leaves its pages: its size less the tab row and the frame.
inline constexpr int kTabRowHeight = 28;
inline constexpr int kPageFrameWidth = 4;

}  // namespace velomaris
