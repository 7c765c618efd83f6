// Base models of the component layer: a named component owned by a form, and a control with
// the properties the workflows read and write.
#pragma once

#include <functional>
#include <string>

namespace velomaris {

class TForm;

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
    void SetCaption(std::string caption) { text_ = std::move(caption); }
    const std::string& Text() const { return text_; }
    void SetText(std::string text) { text_ = std::move(text); }

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible) { visible_ = visible; }
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint) { hint_ = std::move(hint); }
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor) { cursor_ = cursor; }

    std::function<void()> OnClick;
    // Runs the click handler, whether or not the control is enabled or visible: the workflows
    // invoke hidden, disabled step buttons directly. Exceptions reach the caller.
    void Click();

protected:
    bool visible_ = true;

private:
    std::string text_;
    bool enabled_ = true;
    std::string hint_;
    TCursor cursor_ = TCursor::crDefault;
};

}  // namespace velomaris
