#include "platform/ui/Layout.h"

#include <algorithm>

namespace velomaris {

const TControlLayout* TWindowLayout::FindControl(const std::string& name) const {
    auto it = std::find_if(controls.begin(), controls.end(),
                           [&](const TControlLayout& c) { return c.name == name; });
    return it == controls.end() ? nullptr : &*it;
}

const TPanelLayout* TWindowLayout::FindPanel(const std::string& name) const {
    auto it = std::find_if(panels.begin(), panels.end(),
                           [&](const TPanelLayout& p) { return p.name == name; });
    return it == panels.end() ? nullptr : &*it;
}

}  // namespace velomaris
