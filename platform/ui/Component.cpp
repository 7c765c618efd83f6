#include "platform/ui/Component.h"

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

void TControl::Click() {
    if (OnClick) {
        // A copy keeps the handler alive if it replaces itself while running.
        auto handler = OnClick;
        handler();
    }
}

}  // namespace velomaris
