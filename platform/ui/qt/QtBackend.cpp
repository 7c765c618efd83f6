#include "platform/ui/qt/QtBackend.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <atomic>
#include <map>

#include "platform/LossyText.h"
#include "platform/Text.h"
#include "platform/browser/WebBrowser.h"
#include "platform/ui/Application.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

namespace velomaris {

namespace {

// GBK to the widgets' UTF-16, lossy: a byte that is not GBK shows as U+FFFD.
QString ToQt(const std::string& gbk) {
    return QString::fromStdString(GbkToUtf8Lossy(gbk));
}

// A label shows line breaks as the models hold them (CR LF, or a lone CR).
QString ToQtLines(const std::string& gbk) {
    QString text = ToQt(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

// The widgets' text back to GBK; empty when it holds a character GBK cannot (U+FFFD of a
// lossy display among them), which is then never written into a model.
std::optional<std::string> FromQt(const QString& text) {
    try {
        return Utf8ToGbk(text.toStdString());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QString RgbStyle(const char* property, const TRgb& rgb) {
    return QStringLiteral("%1: rgb(%2, %3, %4);")
        .arg(QLatin1String(property))
        .arg(rgb.r)
        .arg(rgb.g)
        .arg(rgb.b);
}

// The CJK fonts Debian ships stand in for SimSun.
QFont WindowFont(const TWindowLayout& layout) {
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(layout.fontPixels);
    font.setBold(layout.boldFont);
    return font;
}

// A label that the user can click (the address links).
class ClickableLabel final : public QLabel {
public:
    ClickableLabel(QWidget* parent, std::function<void()> onClick)
        : QLabel(parent), onClick_(std::move(onClick)) {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (rect().contains(event->position().toPoint())) {
            onClick_();
        }
    }

private:
    std::function<void()> onClick_;
};

// The window of a form: a close request goes to the form, which decides.
class FormWindow final : public QMainWindow {
public:
    FormWindow(std::function<void()> onClose) : onClose_(std::move(onClose)) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        // The model hides (or minimises) the window itself when it accepts the request.
        event->ignore();
        onClose_();
    }

private:
    std::function<void()> onClose_;
};

// Typed text of an editable combo box goes through the model's key rules, not straight into
// the widget: keys, input-method commits and pasted text alike.
class ComboTyping final : public QObject {
public:
    ComboTyping(QObject* parent, std::function<void(const QString&)> typed,
                std::function<void()> backspace)
        : QObject(parent), typed_(std::move(typed)), backspace_(std::move(backspace)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Backspace) {
                backspace_();
                return true;
            }
            if (key->matches(QKeySequence::Paste)) {
                return false;  // handled through the line edit's own path below
            }
            if (!key->text().isEmpty() && key->text().at(0).isPrint()) {
                typed_(key->text());
                return true;
            }
        } else if (event->type() == QEvent::InputMethod) {
            auto* im = static_cast<QInputMethodEvent*>(event);
            if (!im->commitString().isEmpty()) {
                typed_(im->commitString());
            }
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(const QString&)> typed_;
    std::function<void()> backspace_;
};

}  // namespace

struct TQtBackend::Impl {
    struct Window {
        FormWindow* window = nullptr;
        QWidget* client = nullptr;
        bool shownBefore = false;
        std::map<TControl*, QWidget*> widgets;
    };

    Clock& clock;
    std::unique_ptr<QApplication> qapp;
    TApplication* app = nullptr;
    QTimer dueTimer;
    std::atomic<bool> wakePending{false};
    std::map<TForm*, Window> windows;
    std::map<TMenu*, QMenu*> popupMenus;
    std::map<TTrayIcon*, QSystemTrayIcon*> trayIcons;
    EngineFactory engineFactory;
    MessageObserver messageObserver;
    QIcon icon;
    bool guard = false;  // set while the backend itself updates a widget from its model

    Impl(int& argc, char** argv, Clock& c) : clock(c) {
        // One Qt application per process: a test process makes it once and shares it.
        if (QCoreApplication::instance() == nullptr) {
            qapp = std::make_unique<QApplication>(argc, argv);
        }
        // The tray keeps the program alive with every window hidden.
        QApplication::setQuitOnLastWindowClosed(false);
        dueTimer.setSingleShot(true);
        dueTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&dueTimer, &QTimer::timeout, [this] { Pump(); });
    }

    ~Impl() {
        for (auto& [icon, tray] : trayIcons) {
            delete tray;
        }
        for (auto& [menu, popup] : popupMenus) {
            delete popup;
        }
        for (auto& [form, window] : windows) {
            delete window.window;
        }
    }

    // Runs what the application has posted and what is due, then waits for the next due time.
    void Pump() {
        wakePending.store(false);
        if (app == nullptr) {
            return;
        }
        if (!app->Terminated()) {
            app->DispatchPosted();
        }
        if (!app->Terminated()) {
            app->DispatchDue();
        }
        if (app->Terminated()) {
            // Ends every loop, message boxes' included.
            QCoreApplication::exit(0);
            return;
        }
        Reschedule();
    }

    void Reschedule() {
        if (app == nullptr) {
            return;
        }
        if (app->HasPosted() || app->Terminated()) {
            PostPump();
            return;
        }
        const auto next = app->NextDueTime();
        if (!next) {
            dueTimer.stop();
            return;
        }
        const std::int64_t wait = std::max<std::int64_t>(0, *next - clock.Now());
        dueTimer.start(static_cast<int>(std::min<std::int64_t>(wait, 24 * 3600 * 1000)));
    }

    void PostPump() {
        if (!wakePending.exchange(true)) {
            QMetaObject::invokeMethod(
                &dueTimer, [this] { Pump(); }, Qt::QueuedConnection);
        }
    }

    // A user action: runs through the general error report like any handler, then the timers
    // the handler armed are scheduled.
    void Deliver(const std::function<void()>& handler) {
        if (app == nullptr) {
            return;
        }
        app->Deliver(handler);
        Reschedule();
    }

    Window* Find(TForm* form) {
        auto it = windows.find(form);
        return it == windows.end() ? nullptr : &it->second;
    }

    QWidget* WidgetOf(TControl& control) {
        TForm* form = control.ParentForm();
        Window* window = form != nullptr ? Find(form) : nullptr;
        if (window == nullptr) {
            return nullptr;
        }
        auto it = window->widgets.find(&control);
        return it == window->widgets.end() ? nullptr : it->second;
    }

    Window& Build(TForm& form) {
        if (Window* existing = Find(&form)) {
            return *existing;
        }
        app = &form.Application();
        Window& w = windows[&form];
        const TWindowLayout& layout = form.Layout();
        w.window = new FormWindow([this, &form] { Deliver([&form] { form.Close(); }); });
        w.window->setObjectName(QString::fromStdString(form.Name()));
        w.window->setWindowTitle(ToQt(form.Caption()));
        w.window->setWindowIcon(icon);
        w.window->setFont(WindowFont(layout));
        Qt::WindowFlags flags =
            Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        if (layout.frame == TFrameKind::fkMainWindow) {
            flags |= Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint;
        } else {
            flags |= Qt::WindowStaysOnTopHint;
        }
        w.window->setWindowFlags(flags);
        w.client = new QWidget(w.window);
        w.client->setFixedSize(layout.clientWidth, layout.clientHeight);
        w.window->setCentralWidget(w.client);

        std::map<std::string, QWidget*> containers;
        std::map<std::string, QTabWidget*> pageControls;
        auto containerOf = [&](const TPlace& place) -> QWidget* {
            if (place.container.empty()) {
                return w.client;
            }
            if (place.page >= 0) {
                auto it = pageControls.find(place.container);
                return it == pageControls.end() ? w.client : it->second->widget(place.page);
            }
            auto it = containers.find(place.container);
            return it == containers.end() ? w.client : it->second;
        };
        auto makeControl = [&](const TControlLayout& entry) {
            auto* control = dynamic_cast<TControl*>(form.FindComponent(entry.name));
            if (control == nullptr) {
                return;
            }
            QWidget* parent = containerOf(entry.place);
            QWidget* widget = MakeWidget(*control, parent);
            if (widget == nullptr) {
                return;
            }
            if (auto* tabs = dynamic_cast<QTabWidget*>(widget)) {
                pageControls[entry.name] = tabs;
            }
            widget->setObjectName(QString::fromStdString(entry.name));
            const TRect& r = entry.place.bounds;
            widget->setGeometry(r.left, r.top, r.width, r.height);
            QString style;
            if (entry.textColor) {
                style += RgbStyle("color", *entry.textColor);
            }
            if (entry.background) {
                style += RgbStyle("background-color", *entry.background);
            }
            if (entry.bold) {
                // A style sheet would otherwise leave the edit part of a combo box regular.
                style += QStringLiteral("font-weight: bold;");
            }
            if (!style.isEmpty()) {
                widget->setStyleSheet(style);
            }
            if (entry.bold) {
                QFont font = widget->font();
                font.setBold(true);
                widget->setFont(font);
            }
            if (auto* label = dynamic_cast<QLabel*>(widget)) {
                label->setWordWrap(entry.wordWrap);
                label->setAlignment(entry.wordWrap ? Qt::AlignLeft | Qt::AlignTop
                                                   : Qt::AlignLeft | Qt::AlignVCenter);
            }
            w.widgets[control] = widget;
            for (TChange what : {TChange::chText, TChange::chEnabled, TChange::chVisible,
                                 TChange::chHint, TChange::chChecked, TChange::chItems,
                                 TChange::chItemIndex, TChange::chActivePage}) {
                Sync(*control, widget, what);
            }
            if (control->Cursor() == TCursor::crHandPoint) {
                widget->setCursor(Qt::PointingHandCursor);
            }
        };
        // Page controls first, then the panels (which may sit on their pages), then the rest.
        auto isPageControl = [&](const TControlLayout& entry) {
            return dynamic_cast<TPageControl*>(form.FindComponent(entry.name)) != nullptr;
        };
        for (const TControlLayout& entry : layout.controls) {
            if (isPageControl(entry)) {
                makeControl(entry);
            }
        }
        for (const TPanelLayout& panel : layout.panels) {
            QWidget* parent = containerOf(panel.place);
            QWidget* widget;
            if (panel.kind == TPanelKind::pkGroupBox) {
                widget = new QGroupBox(parent);
            } else {
                auto* frame = new QFrame(parent);
                if (panel.kind == TPanelKind::pkLine) {
                    // A thin rule; the style's sunken line is too faint on a light theme.
                    frame->setStyleSheet(QStringLiteral("background-color: rgb(160, 180, 200);"));
                } else {
                    frame->setFrameShape(QFrame::StyledPanel);
                }
                widget = frame;
            }
            widget->setObjectName(QString::fromStdString(panel.name));
            const TRect& r = panel.place.bounds;
            widget->setGeometry(r.left, r.top, r.width, r.height);
            containers[panel.name] = widget;
        }
        for (const TControlLayout& entry : layout.controls) {
            if (!isPageControl(entry)) {
                makeControl(entry);
            }
        }
        for (TComponent* component : form.Components()) {
            auto* menu = dynamic_cast<TMenu*>(component);
            if (menu != nullptr && menu->Kind() == TMenuKind::mkMenuBar) {
                FillMenu(*w.window->menuBar(), menu->Items());
            }
        }
        w.window->adjustSize();
        w.window->setFixedSize(w.window->sizeHint());
        return w;
    }

    template <class QtMenu>
    void FillMenu(QtMenu& target, const std::vector<TMenuItem*>& items) {
        for (TMenuItem* item : items) {
            if (item->IsSeparator()) {
                target.addSeparator();
                continue;
            }
            if (!item->Items().empty()) {
                QMenu* sub = target.addMenu(ToQt(item->Caption()));
                sub->setObjectName(QString::fromStdString(item->Name()));
                sub->setToolTipsVisible(true);
                sub->menuAction()->setToolTip(ToQt(item->Hint()));
                sub->menuAction()->setObjectName(QString::fromStdString(item->Name()));
                FillMenu(*sub, item->Items());
                continue;
            }
            QAction* action = target.addAction(ToQt(item->Caption()));
            action->setObjectName(QString::fromStdString(item->Name()));
            action->setToolTip(ToQt(item->Hint()));
            action->setEnabled(item->Enabled());
            QObject::connect(action, &QAction::triggered,
                             [this, item] { Deliver([item] { item->Click(); }); });
        }
    }

    QMenu* PopupFor(TMenu& menu) {
        auto it = popupMenus.find(&menu);
        if (it != popupMenus.end()) {
            return it->second;
        }
        auto* popup = new QMenu();
        popup->setObjectName(QString::fromStdString(menu.Name()));
        if (menu.Owner() != nullptr) {
            popup->setFont(WindowFont(menu.Owner()->Layout()));
        }
        FillMenu(*popup, menu.Items());
        popupMenus[&menu] = popup;
        return popup;
    }

    QWidget* MakeWidget(TControl& control, QWidget* parent) {
        if (auto* pages = dynamic_cast<TPageControl*>(&control)) {
            auto* tabs = new QTabWidget(parent);
            for (int i = 0; i < pages->PageCount(); ++i) {
                tabs->addTab(new QWidget(), ToQt(pages->PageCaption(i)));
            }
            QObject::connect(tabs, &QTabWidget::currentChanged, [this, pages](int index) {
                if (!guard && index >= 0) {
                    Deliver([pages, index] { pages->SetActivePageIndex(index); });
                }
            });
            return tabs;
        }
        if (auto* browser = dynamic_cast<TWebBrowser*>(&control)) {
            if (auto* engine = dynamic_cast<TWidgetBrowserEngine*>(&browser->Engine())) {
                QWidget* view = engine->View();
                view->setParent(parent);
                view->show();
                return view;
            }
            return new QWidget(parent);
        }
        if (auto* combo = dynamic_cast<TComboBox*>(&control)) {
            auto* box = new QComboBox(parent);
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            box->lineEdit()->installEventFilter(new ComboTyping(
                box,
                [this, combo](const QString& text) {
                    if (auto gbk = FromQt(text)) {
                        Deliver([combo, gbk] { combo->TypeText(*gbk); });
                    }
                },
                [this, combo] { Deliver([combo] { combo->KeyPress(kBackspaceKey); }); }));
            // A paste or a drop: the pasted text passes the key rules as if typed.
            QObject::connect(box->lineEdit(), &QLineEdit::textEdited,
                             [this, combo, box](const QString&) {
                                 if (guard) {
                                     return;
                                 }
                                 const QString shown = ToQt(combo->Text());
                                 const QString edited = box->lineEdit()->text();
                                 if (edited.startsWith(shown)) {
                                     if (auto gbk = FromQt(edited.mid(shown.size()))) {
                                         Deliver([combo, gbk] { combo->TypeText(*gbk); });
                                     }
                                 }
                                 Sync(*combo, box, TChange::chText);
                             });
            QObject::connect(box, &QComboBox::activated, [this, combo](int index) {
                if (!guard) {
                    Deliver([combo, index] { combo->SetItemIndex(index); });
                }
            });
            return box;
        }
        if (auto* edit = dynamic_cast<TEdit*>(&control)) {
            auto* line = new QLineEdit(parent);
            if (edit->PasswordChar() != '\0') {
                line->setEchoMode(QLineEdit::Password);
            }
            QObject::connect(line, &QLineEdit::textEdited, [this, edit, line](const QString& text) {
                if (guard) {
                    return;
                }
                // A character GBK cannot hold (or a lossy U+FFFD) never reaches the model: the
                // box goes back to what the model holds.
                if (auto gbk = FromQt(text)) {
                    Deliver([edit, gbk] { edit->SetText(*gbk); });
                } else {
                    Sync(*edit, line, TChange::chText);
                }
            });
            return line;
        }
        if (auto* check = dynamic_cast<TCheckableControl*>(&control)) {
            QAbstractButton* button = dynamic_cast<TRadioButton*>(check) != nullptr
                                          ? static_cast<QAbstractButton*>(new QRadioButton(parent))
                                          : new QCheckBox(parent);
            // The model decides the checked state (its click handler sets it); the widget only
            // shows it.
            QObject::connect(button, &QAbstractButton::clicked, [this, check, button](bool) {
                Deliver([check] { check->Click(); });
                Sync(*check, button, TChange::chChecked);
            });
            return button;
        }
        if (auto* button = dynamic_cast<TButton*>(&control)) {
            auto* push = new QPushButton(parent);
            QObject::connect(push, &QPushButton::clicked,
                             [this, button] { Deliver([button] { button->Click(); }); });
            return push;
        }
        if (dynamic_cast<TLabel*>(&control) != nullptr) {
            return new ClickableLabel(
                parent, [this, &control] { Deliver([&control] { control.Click(); }); });
        }
        return nullptr;
    }

    void Sync(TControl& control, QWidget* widget, TChange what) {
        const bool wasGuarded = guard;
        guard = true;
        switch (what) {
            case TChange::chText:
                if (auto* label = dynamic_cast<QLabel*>(widget)) {
                    label->setText(ToQtLines(control.Caption()));
                } else if (auto* combo = dynamic_cast<QComboBox*>(widget)) {
                    combo->setEditText(ToQt(control.Text()));
                } else if (auto* line = dynamic_cast<QLineEdit*>(widget)) {
                    line->setText(ToQt(control.Text()));
                } else if (auto* button = dynamic_cast<QAbstractButton*>(widget)) {
                    button->setText(ToQt(control.Caption()));
                }
                break;
            case TChange::chEnabled:
                widget->setEnabled(control.Enabled());
                break;
            case TChange::chVisible:
                widget->setVisible(control.Visible());
                break;
            case TChange::chHint:
                widget->setToolTip(ToQt(control.Hint()));
                break;
            case TChange::chChecked:
                if (auto* check = dynamic_cast<TCheckableControl*>(&control)) {
                    if (auto* button = dynamic_cast<QAbstractButton*>(widget)) {
                        // A radio button group of Qt refuses to clear its checked button by
                        // itself; the model clears it through its sibling instead.
                        button->setAutoExclusive(false);
                        button->setChecked(check->Checked());
                        button->setAutoExclusive(dynamic_cast<QRadioButton*>(button) != nullptr);
                    }
                }
                break;
            case TChange::chItems:
                if (auto* model = dynamic_cast<TComboBox*>(&control)) {
                    if (auto* combo = dynamic_cast<QComboBox*>(widget)) {
                        combo->clear();
                        for (const std::string& item : model->Items()) {
                            combo->addItem(ToQt(item));
                        }
                    }
                }
                // A new list drops the selection: shown as the selection is shown.
                [[fallthrough]];
            case TChange::chItemIndex:
                if (auto* model = dynamic_cast<TComboBox*>(&control)) {
                    if (auto* combo = dynamic_cast<QComboBox*>(widget)) {
                        combo->setCurrentIndex(model->ItemIndex());
                        combo->setEditText(ToQt(model->Text()));
                    }
                }
                break;
            case TChange::chActivePage:
                if (auto* model = dynamic_cast<TPageControl*>(&control)) {
                    if (auto* tabs = dynamic_cast<QTabWidget*>(widget)) {
                        tabs->setCurrentIndex(model->ActivePageIndex());
                    }
                }
                break;
        }
        guard = wasGuarded;
    }

    void Place(Window& w, TForm& form) {
        if (!w.shownBefore) {
            // Centred on the screen the first time it is shown.
            w.shownBefore = true;
            if (QScreen* screen = QGuiApplication::primaryScreen()) {
                const QRect area = screen->availableGeometry();
                const QSize size = w.window->frameSize();
                w.window->move(area.center().x() - size.width() / 2,
                               area.center().y() - size.height() / 2);
            }
        }
        (void)form;
    }
};

TQtBackend::TQtBackend(int& argc, char** argv, Clock& clock)
    : impl_(std::make_unique<Impl>(argc, argv, clock)) {}

TQtBackend::~TQtBackend() = default;

void TQtBackend::SetBrowserEngineFactory(EngineFactory factory) {
    impl_->engineFactory = std::move(factory);
}

void TQtBackend::SetMessageObserver(MessageObserver observer) {
    impl_->messageObserver = std::move(observer);
}

void TQtBackend::SetApplicationIcon(const QIcon& icon) {
    impl_->icon = icon;
    QApplication::setWindowIcon(icon);
}

QWidget* TQtBackend::WindowOf(TForm& form) {
    return impl_->Build(form).window;
}

QWidget* TQtBackend::WidgetOf(TControl& control) {
    return impl_->WidgetOf(control);
}

void TQtBackend::RunLoop(TApplication& app) {
    impl_->app = &app;
    impl_->Reschedule();
    if (!app.Terminated()) {
        QApplication::exec();
    }
    impl_->dueTimer.stop();
    for (auto& [form, window] : impl_->windows) {
        window.window->hide();
    }
}

void TQtBackend::Wake() {
    impl_->PostPump();
}

void TQtBackend::ShowModalMessage(TApplication& app, const TMessageBoxRecord& record) {
    impl_->app = &app;
    if (app.Terminated()) {
        return;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (record.kind == TMessageKind::mkMessageBox) {
        switch (record.icon) {
            case TMessageBoxIcon::mbWarning:
                icon = QMessageBox::Warning;
                break;
            case TMessageBoxIcon::mbError:
                icon = QMessageBox::Critical;
                break;
            case TMessageBoxIcon::mbInformation:
                icon = QMessageBox::Information;
                break;
            case TMessageBoxIcon::mbQuestion:
                icon = QMessageBox::Question;
                break;
            case TMessageBoxIcon::mbNone:
                break;
        }
    }
    QMessageBox box(icon, ToQt(record.title), ToQtLines(record.text), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setWindowIcon(impl_->icon);
    if (app.MainForm() != nullptr) {
        box.setFont(WindowFont(app.MainForm()->Layout()));
    }
    if (impl_->messageObserver) {
        QTimer::singleShot(0, &box, [this, record, &box] { impl_->messageObserver(record, &box); });
    }
    // Timers armed before the box must tick while it is open.
    impl_->Reschedule();
    box.exec();
    impl_->Reschedule();
}

void TQtBackend::FormVisibilityChanged(TForm& form) {
    Impl::Window& w = impl_->Build(form);
    if (form.Visible()) {
        impl_->Place(w, form);
        w.window->show();
        w.window->raise();
    } else {
        w.window->hide();
    }
}

void TQtBackend::BringToFront(TForm& form) {
    Impl::Window& w = impl_->Build(form);
    if (form.Visible()) {
        w.window->show();
        w.window->raise();
        w.window->activateWindow();
    }
}

void TQtBackend::RestoreApplication(TApplication& app) {
    if (app.MainForm() == nullptr) {
        return;
    }
    Impl::Window& w = impl_->Build(*app.MainForm());
    if (w.window->isMinimized()) {
        w.window->showNormal();
    }
}

void TQtBackend::MinimizeApplication(TApplication& app) {
    if (app.MainForm() != nullptr) {
        impl_->Build(*app.MainForm()).window->showMinimized();
    }
}

void TQtBackend::PopupMenu(TMenu& menu, TPoint at) {
    impl_->PopupFor(menu)->popup(QPoint(at.x, at.y));
}

TPoint TQtBackend::CursorPos() const {
    const QPoint pos = QCursor::pos();
    return {pos.x(), pos.y()};
}

void TQtBackend::ControlChanged(TControl& control, TChange what) {
    if (auto* form = dynamic_cast<TForm*>(&control)) {
        if (Impl::Window* w = impl_->Find(form); w != nullptr && what == TChange::chText) {
            w->window->setWindowTitle(ToQt(form->Caption()));
        }
        return;
    }
    if (QWidget* widget = impl_->WidgetOf(control)) {
        impl_->Sync(control, widget, what);
    }
}

void TQtBackend::TrayIconChanged(TTrayIcon& icon) {
    QSystemTrayIcon*& tray = impl_->trayIcons[&icon];
    if (!icon.Registered()) {
        if (tray != nullptr) {
            tray->hide();
        }
        return;
    }
    if (tray == nullptr) {
        tray = new QSystemTrayIcon(impl_->icon);
        // The owner's pop-up menu is the icon's context menu.
        if (icon.Owner() != nullptr) {
            for (TComponent* component : icon.Owner()->Components()) {
                auto* menu = dynamic_cast<TMenu*>(component);
                if (menu != nullptr && menu->Kind() == TMenuKind::mkPopup) {
                    tray->setContextMenu(impl_->PopupFor(*menu));
                    break;
                }
            }
        }
        QObject::connect(tray, &QSystemTrayIcon::activated,
                         [this, &icon](QSystemTrayIcon::ActivationReason reason) {
                             if (reason == QSystemTrayIcon::DoubleClick) {
                                 impl_->Deliver([&icon] { icon.MouseEvent(WM_LBUTTONDBLCLK); });
                             } else if (reason == QSystemTrayIcon::Trigger) {
                                 impl_->Deliver([&icon] { icon.MouseEvent(WM_LBUTTONDOWN); });
                             }
                         });
    }
    tray->setToolTip(ToQt(icon.Tip()));
    tray->show();
}

bool TQtBackend::SystemTrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

std::unique_ptr<TBrowserEngine> TQtBackend::CreateBrowserEngine(TWebBrowser& browser) {
    if (!impl_->engineFactory) {
        return nullptr;
    }
    return impl_->engineFactory(browser);
}

}  // namespace velomaris
