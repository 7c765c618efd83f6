// A window: caption, visibility with its show event, a close request that may be refused,
// and the components it owns.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Component.h"

namespace velomaris {

class TApplication;

class TForm : public TControl {
public:
    // Forms are created through TApplication::CreateForm, hidden.
    TForm(TApplication& app, std::string name, std::string caption);
    ~TForm() override;

    TApplication& Application() const { return app_; }

    // Hidden -> visible runs OnShow (with Visible already true); showing a visible form only
    // asks the backend to bring it to the front.
    void Show();
    void Hide();
    void SetVisible(bool visible) override;
    // A close request (title-bar button, Alt+F4): OnCloseQuery may refuse it; an accepted
    // request hides the form. Returns whether it was accepted.
    bool Close();

    std::function<void()> OnShow;
    std::function<void()> OnHide;
    std::function<void(bool& canClose)> OnCloseQuery;

    // Every component of the form, in creation order.
    const std::vector<TComponent*>& Components() const { return components_; }
    TComponent* FindComponent(const std::string& name) const;

private:
    friend class TComponent;
    void AddComponent(TComponent& component) { components_.push_back(&component); }
    void RemoveComponent(TComponent& component);

    TApplication& app_;
    std::vector<TComponent*> components_;
};

}  // namespace velomaris
