#include "platform/ui/Controls.h"

#include <algorithm>
#include <string>

#include "platform/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Form.h"

namespace velomaris {

void TCheckableControl::SetChecked(bool checked) {
    if (checked == checked_) {
        return;
    }
    checked_ = checked;
    Changed(TChange::chChecked);
}

void TComboBox::SetItems(std::vector<std::string> items) {
    items_ = std::move(items);
    itemIndex_ = -1;
    Changed(TChange::chItems);
}

void TComboBox::SetItemIndex(int index) {
    if (index == -1) {
        if (itemIndex_ != -1) {
            itemIndex_ = -1;
            Changed(TChange::chItemIndex);
        }
        return;
    }
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    itemIndex_ = index;
    SetText(items_[static_cast<size_t>(index)]);
    Changed(TChange::chItemIndex);
}

void TComboBox::TypeText(const std::string& gbk) {
    for (size_t i = 0; i < gbk.size();) {
        const bool pair = IsGbkLeadByte(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size();
        if (!pair) {
            KeyPress(gbk[i]);
            ++i;
            continue;
        }
        char lead = gbk[i];
        char trail = gbk[i + 1];
        i += 2;
        if (OnKeyPress) {
            OnKeyPress(lead);
            if (lead == '\0') {
                continue;
            }
            OnKeyPress(trail);
            if (trail == '\0') {
                continue;
            }
        }
        if (maxLength_ > 0 && Text().size() + 2 > static_cast<size_t>(maxLength_)) {
            continue;
        }
        SetText(Text() + lead + trail);
    }
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
    if (index != activePage_) {
        activePage_ = index;
        Changed(TChange::chActivePage);
    }
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
    if (Owner() != nullptr) {
        Owner()->Application().Backend().TrayIconChanged(*this);
    }
    return true;
}

void TTrayIcon::Delete() {
    registered_ = false;
    if (Owner() != nullptr) {
        Owner()->Application().Backend().TrayIconChanged(*this);
    }
}

}  // namespace velomaris
