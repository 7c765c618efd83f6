#include "platform/ui/Controls.h"

#include <algorithm>
#include <string>

#include "platform/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Form.h"

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

void TComboBox::KeyPress(char key) {
    if (OnKeyPress) {
        OnKeyPress(key);
    }
    if (key == '\0') {
        return;
    }
    std::string text = Text();
    if (key == kBackspaceKey) {
        // Walk the characters from the start: a trail byte of GBK may look like ASCII.
        size_t last = 0;
        for (size_t i = 0; i < text.size();) {
            last = i;
            const bool pair =
                IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
            i += pair ? 2 : 1;
        }
        text.erase(std::min(last, text.size()));
    } else if (maxLength_ <= 0 || text.size() < static_cast<size_t>(maxLength_)) {
        text += key;
    }
    SetText(std::move(text));
}

TPageControl::TPageControl(TForm* owner, std::string name, std::vector<std::string> pageCaptions)
    : TControl(owner, std::move(name)), pages_(std::move(pageCaptions)) {}

void TPageControl::SetActivePageIndex(int index) {
    if (index < 0 || index >= PageCount()) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    activePage_ = index;
}

void TMenu::Popup(TPoint at) {
    ++popupCount_;
    lastPopup_ = at;
    if (Owner() != nullptr) {
        Owner()->Application().Backend().PopupMenu(*this, at);
    }
}

void TTrayIcon::MouseEvent(std::intptr_t mouseMessage) {
    if (!registered_ || callbackMessage_ == 0 || Owner() == nullptr) {
        return;
    }
    Owner()->Perform(callbackMessage_, 0, mouseMessage);
}

bool TTrayIcon::Register(std::string tip) {
    tip_ = std::move(tip);
    registered_ = true;
    return true;
}

}  // namespace velomaris
