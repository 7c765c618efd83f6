#include "platform/ui/Component.h"

#include "platform/ui/Application.h"
#include "platform/ui/Form.h"

namespace velomaris {

TComponent::TComponent(TForm* owner, std::string name) : owner_(owner), name_(std::move(name)) {
    if (owner_ != nullptr) {
        owner_->AddComponent(*this);
    }
}

TComponent::~TComponent() {
    if (owner_ != nullptr) {
        owner_->RemoveComponent(*this);
    }
}

TControl::TControl(TForm* owner, std::string name, std::string caption)
    : TComponent(owner, std::move(name)), text_(std::move(caption)) {}

void TControl::SetText(std::string text) {
    if (text == text_) {
        return;
    }
    text_ = std::move(text);
    Changed(TChange::chText);
}

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    Changed(TChange::chEnabled);
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_) {
        return;
    }
    visible_ = visible;
    Changed(TChange::chVisible);
}

void TControl::SetHint(std::string hint) {
    if (hint == hint_) {
        return;
    }
    hint_ = std::move(hint);
    Changed(TChange::chHint);
}

TForm* TControl::ParentForm() {
    return Owner() != nullptr ? Owner() : dynamic_cast<TForm*>(this);
}

void TControl::Changed(TChange what) {
    if (TForm* form = ParentForm()) {
        form->Application().Backend().ControlChanged(*this, what);
    }
}

void TControl::Click() {
    if (OnClick) {
        // A copy keeps the handler alive if it replaces itself while running.
        auto handler = OnClick;
        handler();
    }
}

}  // namespace velomaris
