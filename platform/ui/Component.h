// Base models of the component layer: a named component owned by a form, and a control with
// the properties the workflows read and write.
#pragma once

#include <functional>
#include <string>

namespace velomaris {

class TForm;

// What about a control changed, as the backend is told.
enum class TChange {
    chText,  // Caption / Text
    chEnabled,
    chVisible,
    chHint,
    chChecked,     // check boxes and radio buttons
    chItems,       // the list of a combo box
    chItemIndex,   // the selected item of a combo box
    chActivePage,  // the tab on top of a page control
};

// A named part of a form. Components are members of their form and register with it, so the
// form can list them in creation order and find them by name.
class TComponent {
public:
    // owner is null only for forms and for components that belong to no form.
    TComponent(TForm* owner, std::string name);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return name_; }
    TForm* Owner() const { return owner_; }

private:
    TForm* owner_;
    std::string name_;
};

// The mouse cursor a control shows while the mouse rests on it.
enum class TCursor {
    crDefault,
    crHandPoint,  // a link
};

// A control: one text (called Caption on buttons and labels, Text on edits), enabled and
// visible states, a hint and a click handler.
class TControl : public TComponent {
public:
    TControl(TForm* owner, std::string name, std::string caption = {});

    const std::string& Caption() const { return text_; }
    void SetCaption(std::string caption) { SetText(std::move(caption)); }
    const std::string& Text() const { return text_; }
    void SetText(std::string text);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor) { cursor_ = cursor; }

    std::function<void()> OnClick;
    // Runs the click handler, whether or not the control is enabled or visible: the workflows
    // invoke hidden, disabled step buttons directly. Exceptions reach the caller.
    void Click();

    // The form the control sits in (the form itself for a form); null for a control that
    // belongs to no form.
    TForm* ParentForm();

protected:
    // Tells the backend of the control's form what changed, so a window redraws only that.
    void Changed(TChange what);

    bool visible_ = true;

private:
    std::string text_;
    bool enabled_ = true;
    std::string hint_;
    TCursor cursor_ = TCursor::crDefault;
};

}  // namespace velomaris
