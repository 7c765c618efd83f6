// The plain control models. They hold state only; a windowed backend mirrors them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/ui/Component.h"
#include "platform/ui/UiBackend.h"

namespace velomaris {

// An index outside a list of items or pages.
class EListError : public Exception {
    using Exception::Exception;
};

class TButton : public TControl {
public:
    using TControl::TControl;
};

class TLabel : public TControl {
public:
    using TControl::TControl;
};

// A single-line text field. A password character only changes how a window draws the text.
class TEdit : public TControl {
public:
    using TControl::TControl;
    char PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char c) { passwordChar_ = c; }

private:
    char passwordChar_ = '\0';
};

// A control with a checked state; check boxes and radio buttons differ only in how a window
// groups them, which the window itself decides.
class TCheckableControl : public TControl {
public:
    using TControl::TControl;
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);

private:
    bool checked_ = false;
};

class TCheckBox : public TCheckableControl {
public:
    using TCheckableControl::TCheckableControl;
};

class TRadioButton : public TCheckableControl {
public:
    using TCheckableControl::TCheckableControl;
};

// A drop-down list with an editable text. ItemIndex is -1 when no item is selected.
class TComboBox : public TControl {
public:
    using TControl::TControl;
    const std::vector<std::string>& Items() const { return items_; }
    void SetItems(std::vector<std::string> items);
    int ItemIndex() const { return itemIndex_; }
    // Selecting an item also sets the text; -1 clears the selection and keeps the text.
    // An index outside the items raises EListError.
    void SetItemIndex(int index);

    // The most bytes the user may type into the text; 0 means no limit.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int maxLength) { maxLength_ = maxLength; }

    // Runs for every character the user types; setting the key to '\0' discards it. Entries
    // picked from the list and texts set by the program are not filtered.
    std::function<void(char& key)> OnKeyPress;
    // A key typed by the user: OnKeyPress first, then a backspace (8) removes the last
    // character (both bytes of a double-byte one) and any other key is appended unless the
    // text already holds MaxLength bytes.
    void KeyPress(char key);
    // Text the user typed or an input method committed, in GBK, one character at a time under
    // the rules of KeyPress: each byte passes OnKeyPress, and a double-byte character is
    // taken whole or not at all (when OnKeyPress discards either byte, or when both bytes do
    // not fit under MaxLength), so no half character ever enters the text.
    void TypeText(const std::string& gbk);

private:
    std::vector<std::string> items_;
    int itemIndex_ = -1;
    int maxLength_ = 0;
};

inline constexpr char kBackspaceKey = '\b';

// Tabs with captions; one active page.
class TPageControl : public TControl {
public:
    TPageControl(TForm* owner, std::string name, std::vector<std::string> pageCaptions);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    const std::string& PageCaption(int index) const {
        return pages_.at(static_cast<size_t>(index));
    }
    int ActivePageIndex() const { return activePage_; }
    // An index outside the pages raises EListError.
    void SetActivePageIndex(int index);

private:
    std::vector<std::string> pages_;
    int activePage_ = 0;
};

// A menu item; a caption of "-" is a separator. Items with children open a submenu.
class TMenuItem : public TControl {
public:
    using TControl::TControl;
    void Add(TMenuItem& child) { children_.push_back(&child); }
    const std::vector<TMenuItem*>& Items() const { return children_; }
    bool IsSeparator() const { return Caption() == "-"; }

private:
    std::vector<TMenuItem*> children_;
};

enum class TMenuKind {
    mkMenuBar,  // the bar under a window's caption
    mkPopup,    // opened at a point on demand (the tray menu)
};

// A menu bar or a pop-up menu: an ordered list of top-level items.
class TMenu : public TComponent {
public:
    TMenu(TForm* owner, std::string name, TMenuKind kind = TMenuKind::mkMenuBar)
        : TComponent(owner, std::move(name)), kind_(kind) {}
    TMenuKind Kind() const { return kind_; }
    void SetKind(TMenuKind kind) { kind_ = kind; }
    void Add(TMenuItem& item) { items_.push_back(&item); }
    const std::vector<TMenuItem*>& Items() const { return items_; }

    // Pops the menu up at a screen position (a pop-up menu); returns at once.
    void Popup(TPoint at);
    // How often the menu was popped up, and where the last time.
    int PopupCount() const { return popupCount_; }
    TPoint LastPopupPosition() const { return lastPopup_; }

private:
    TMenuKind kind_;
    std::vector<TMenuItem*> items_;
    int popupCount_ = 0;
    TPoint lastPopup_;
};

// The notification-area icon of a form: registered with a tip text, deleted again at exit.
// A windowed backend shows it; without one it is only a record of what was asked.
class TTrayIcon : public TComponent {
public:
    using TComponent::TComponent;
    bool Registered() const { return registered_; }
    const std::string& Tip() const { return tip_; }
    // Returns whether the shell accepted the icon (always, without a shell).
    bool Register(std::string tip);
    void Delete();

    // The message the icon sends to its form's window for mouse events on it (0: none).
    std::uint32_t CallbackMessage() const { return callbackMessage_; }
    void SetCallbackMessage(std::uint32_t message) { callbackMessage_ = message; }
    // A mouse event on the registered icon (WM_LBUTTONDBLCLK, ...), as a windowed backend
    // reports it: the callback message reaches the owning form with the event in LParam.
    // Nothing happens while the icon is not registered or has no callback message.
    void MouseEvent(std::intptr_t mouseMessage);

private:
    bool registered_ = false;
    std::string tip_;
    std::uint32_t callbackMessage_ = 0;
};

}  // namespace velomaris
