#include "platform/ui/Controls.h"

#include <string>

namespace velomaris {

void TComboBox::SetItems(std::vector<std::string> items) {
    items_ = std::move(items);
    itemIndex_ = -1;
}

void TComboBox::SetItemIndex(int index) {
    if (index == -1) {
        itemIndex_ = -1;
        return;
    }
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    itemIndex_ = index;
    SetText(items_[static_cast<size_t>(index)]);
}

TPageControl::TPageControl(TForm* owner, std::string name, std::vector<std::string> pageCaptions)
    : TControl(owner, std::move(name)), pages_(std::move(pageCaptions)) {}

void TPageControl::SetActivePageIndex(int index) {
    if (index < 0 || index >= PageCount()) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    activePage_ = index;
}

bool TTrayIcon::Register(std::string tip) {
    tip_ = std::move(tip);
    registered_ = true;
    return true;
}

}  // namespace velomaris
