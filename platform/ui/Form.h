// A window: caption, visibility with its show event, a close request that may be refused,
// and the components it owns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Component.h"
#include "platform/ui/Layout.h"

namespace velomaris {

class TApplication;

// A message to a form's window: its number and its two parameters. The shell uses such
// messages for notification-area icons (the callback message with the mouse event in LParam).
struct TMessage {
    std::uint32_t Msg = 0;
    std::intptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

// Mouse messages as the notification area passes them in LParam.
inline constexpr std::intptr_t WM_LBUTTONDOWN = 513;
inline constexpr std::intptr_t WM_LBUTTONUP = 514;
inline constexpr std::intptr_t WM_LBUTTONDBLCLK = 515;
inline constexpr std::intptr_t WM_RBUTTONDOWN = 516;
inline constexpr std::intptr_t WM_RBUTTONUP = 517;

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
    // Asks for the form to become the foreground window (it must be visible to show).
    void BringToFront();

    // Delivers a message to the form's window procedure; returns its result.
    std::intptr_t Perform(std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam);
    // The window procedure. The model has no standard processing of its own; a form that
    // handles messages of its own overrides this.
    virtual void WndProc(TMessage& /*message*/) {}

    std::function<void()> OnShow;
    std::function<void()> OnHide;
    std::function<void(bool& canClose)> OnCloseQuery;

    // Where the window's controls sit; empty until the program gives the form its layout.
    const TWindowLayout& Layout() const { return layout_; }
    void SetLayout(TWindowLayout layout) { layout_ = std::move(layout); }

    // Every component of the form, in creation order.
    const std::vector<TComponent*>& Components() const { return components_; }
    TComponent* FindComponent(const std::string& name) const;

private:
    friend class TComponent;
    void AddComponent(TComponent& component) { components_.push_back(&component); }
    void RemoveComponent(TComponent& component);

    TApplication& app_;
    std::vector<TComponent*> components_;
    TWindowLayout layout_;
};

}  // namespace velomaris
