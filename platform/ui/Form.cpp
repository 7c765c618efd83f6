#include "platform/ui/Form.h"

#include <algorithm>

#include "platform/ui/Application.h"

namespace velomaris {

TForm::TForm(TApplication& app, std::string name, std::string caption)
    : TControl(nullptr, std::move(name), std::move(caption)), app_(app) {
    visible_ = false;
}

TForm::~TForm() = default;

void TForm::Show() {
    SetVisible(true);
}

void TForm::Hide() {
    SetVisible(false);
}

void TForm::SetVisible(bool visible) {
    if (visible == visible_) {
        if (visible) {
            app_.Backend().FormVisibilityChanged(*this);
        }
        return;
    }
    visible_ = visible;
    if (visible) {
        if (OnShow) {
            OnShow();
        }
    } else if (OnHide) {
        OnHide();
    }
    app_.Backend().FormVisibilityChanged(*this);
}

bool TForm::Close() {
    bool canClose = true;
    if (OnCloseQuery) {
        OnCloseQuery(canClose);
    }
    if (canClose) {
        Hide();
    }
    return canClose;
}

void TForm::BringToFront() {
    app_.SetForegroundForm(*this);
    app_.Backend().BringToFront(*this);
}

std::intptr_t TForm::Perform(std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    TMessage message{msg, wParam, lParam};
    WndProc(message);
    return message.Result;
}

TComponent* TForm::FindComponent(const std::string& name) const {
    auto it = std::find_if(components_.begin(), components_.end(),
                           [&](const TComponent* c) { return c->Name() == name; });
    return it == components_.end() ? nullptr : *it;
}

void TForm::RemoveComponent(TComponent& component) {
    std::erase(components_, &component);
}

}  // namespace velomaris
