// Turns user actions on panels and controls into the toolkit's events.
//
// Signals that only user actions emit (clicked, activated) are used where Qt has them; the
// rest are blocked while the program sets values, so SetCtrlVal never raises an event.
// Callbacks are posted, not called from the widget's handler: a callback may pump events
// for minutes, and other controls must stay live meanwhile.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QSpinBox>
#include <QToolTip>
#include <vector>

#include "graph_view.h"
#include "toolkit_internal.h"

namespace qtor {

namespace {

constexpr const char* kHandle = "qtorPanelHandle";
constexpr const char* kLeftPress = "qtorLeftPress";  // the current press is a left mouse press
constexpr const char* kTyping = "qtorTyping";        // the value is being typed, not stepped
constexpr const char* kPending = "qtorPendingCommit";

class InputFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Close:
                if (watched->property(kHandle).isValid()) {
                    // The close box reports to the panel's callback; the window stays.
                    event->ignore();
                    PostEvent(watched->property(kHandle).toInt(), 0, EVENT_CLOSE);
                    return true;
                }
                break;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick: {
                auto* w = static_cast<QWidget*>(watched);
                const bool left = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
                w->setProperty(kLeftPress, left && w->isEnabled());
                w->setProperty(kTyping, false);
                break;
            }
            case QEvent::MouseButtonRelease: watched->setProperty(kLeftPress, false); break;
            case QEvent::KeyPress: {
                watched->setProperty(kLeftPress, false);
                auto* key = static_cast<QKeyEvent*>(event);
                const int k = key->key();
                const bool step = k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_PageUp ||
                                  k == Qt::Key_PageDown;
                const bool edit = k == Qt::Key_Backspace || k == Qt::Key_Delete ||
                                  (!key->text().isEmpty() && key->text().at(0).isPrint());
                if (step || edit) watched->setProperty(kTyping, edit);
                break;
            }
            case QEvent::Wheel: watched->setProperty(kTyping, false); break;
            default: break;
        }
        return false;
    }
};

// Tells a ring's callback that its list is about to open (a press, F4, Alt+Down), before it
// opens, so the entries can be made current.
class DropFilter : public QObject {
  public:
    DropFilter(int panel, int control, QObject* parent)
        : QObject(parent), panel_(panel), control_(control) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        bool opening = event->type() == QEvent::MouseButtonPress;
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            opening = key->key() == Qt::Key_F4 ||
                      (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier));
        }
        auto* combo = static_cast<QComboBox*>(watched);
        if (opening && combo->isEnabled()) SendEvent(panel_, control_, EVENT_DROPPED);
        // A ring without a tooltip of its own shows its entry whole, which the box may cut.
        if (event->type() == QEvent::ToolTip && combo->toolTip().isEmpty() &&
            !combo->currentText().isEmpty()) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), combo->currentText(),
                               combo);
            return true;
        }
        return false;
    }

  private:
    int panel_, control_;
};

InputFilter* Filter() {
    static InputFilter* filter = new InputFilter(QCoreApplication::instance());
    return filter;
}

// A widget that takes typed text: there a key such as the space bar is the user's text.
// A radio button or check box takes the space bar too: it is the keyboard's way to tick it.
bool TakesText(const QWidget* w) {
    if (!w) return false;
    if (w->inherits("QRadioButton") || w->inherits("QCheckBox")) return true;
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) return !edit->isReadOnly();
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(w)) return !spin->isReadOnly();
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) return combo->isEditable();
    return w->inherits("QTextEdit") || w->inherits("QPlainTextEdit");
}

// Controls with a key (panel file property `key`): pressed anywhere in the control's window,
// the key acts as a mouse click on the control, before the focused widget sees it, unless
// it is text typed into a text field.
class KeyFilter : public QObject {
  public:
    using QObject::QObject;
    struct Entry {
        int panel, control;
        QPointer<QWidget> widget;
        QKeySequence key;
    };
    std::vector<Entry> entries;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        QWidget* window = static_cast<QWidget*>(watched)->window();
        bool bound = false;
        for (const Entry& e : entries) {
            if (!e.widget || e.widget->window() != window || e.key != pressed) continue;
            const bool text = !key->text().isEmpty() && key->text().at(0).isPrint();
            if (text && TakesText(window->focusWidget())) return false;
            if (key->isAutoRepeat()) return true;  // one action per press
            bound = true;
            // Several panels in tabs of one window: the key is the shown panel's.
            if (!e.widget->isEnabled() || !e.widget->isVisible()) continue;
            auto* button = qobject_cast<QAbstractButton*>(e.widget.data());
            if (button && button->isCheckable())
                button->click();  // a toggle flips: value changed, then commit
            else
                PostEvents(e.panel, e.control, {EVENT_LEFT_CLICK, EVENT_COMMIT});
            return true;
        }
        return bound;
    }
};

KeyFilter* Keys() {
    static KeyFilter* filter = new KeyFilter(QCoreApplication::instance());
    return filter;
}

// Keys reach the focused widget first: the filter watches every widget of the window (not
// the whole application, whose every event would pass through it).
void WatchKeys(QWidget* window) {
    constexpr const char* kWatched = "qtorKeysWatched";
    if (window->property(kWatched).toBool()) return;
    window->setProperty(kWatched, true);
    window->installEventFilter(Keys());
    for (QWidget* w : window->findChildren<QWidget*>()) w->installEventFilter(Keys());
}

}  // namespace

void WatchWindowKeys(QWidget* window) { WatchKeys(window); }

void WirePanel(Panel& panel) {
    panel.window->setProperty(kHandle, panel.handle);
    panel.window->installEventFilter(Filter());
}

void WireControl(Panel& panel, int id, Control& control) {
    const int h = panel.handle;
    QWidget* w = control.widget;
    auto post = [h, id](EventKind e) { PostEvent(h, id, e); };
    auto postChange = [h, id] { PostEvents(h, id, {EVENT_VAL_CHANGED, EVENT_COMMIT}); };

    if (const QString key = w->property("key").toString(); !key.isEmpty()) {
        auto& entries = Keys()->entries;
        std::erase_if(entries, [](const KeyFilter::Entry& e) { return !e.widget; });
        entries.push_back({h, id, w, QKeySequence::fromString(key)});
        WatchKeys(panel.window);
    }
    if (control.view) {
        // The context menu's entries go to the control's callback; without one there is none.
        if (!control.callback.isEmpty())
            control.view->setMenuHandler([h, id](int e) { PostEvent(h, id, EventKind(e)); });
        return;
    }

    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->installEventFilter(Filter());
        // pressed() comes for mouse and keyboard alike; only a left mouse press is a left click.
        QObject::connect(button, &QAbstractButton::pressed, button, [button, post] {
            if (button->property(kLeftPress).toBool()) post(EVENT_LEFT_CLICK);
        });
        const bool hasValue = control.kind != CtrlKind::Command;
        QObject::connect(button, &QAbstractButton::clicked, button, [post, postChange, hasValue] {
            if (hasValue) {
                postChange();
            } else {
                post(EVENT_COMMIT);
            }
        });
        return;
    }
    if (auto* slider = qobject_cast<QAbstractSlider*>(w)) {
        // Dragged, the value counts when the slider is let go; stepped by key or click, at once.
        QObject::connect(slider, &QAbstractSlider::sliderReleased, slider, postChange);
        QObject::connect(slider, &QAbstractSlider::valueChanged, slider, [slider, postChange] {
            if (!slider->isSliderDown()) postChange();
        });
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->installEventFilter(new DropFilter(h, id, combo));
        QObject::connect(combo, &QComboBox::currentIndexChanged, combo,
                         [combo] { combo->setProperty(kPending, true); });
        QObject::connect(combo, &QComboBox::activated, combo, [combo, post, postChange] {
            const bool changed = combo->property(kPending).toBool();
            combo->setProperty(kPending, false);
            if (changed) {
                postChange();
            } else {
                post(EVENT_COMMIT);
            }
        });
        return;
    }
    if (auto* spin = qobject_cast<QSpinBox*>(w); spin && control.kind == CtrlKind::Numeric) {
        spin->installEventFilter(Filter());
        spin->setProperty(kLastValue, spin->value());
        QObject::connect(spin, &QSpinBox::valueChanged, spin, [spin, post, postChange](int value) {
            if (spin->property(kLastValue).toInt() == value) return;
            spin->setProperty(kLastValue, value);
            if (spin->property(kTyping).toBool()) {
                post(EVENT_VAL_CHANGED);
                spin->setProperty(kPending, true);  // committed by Enter or leaving the field
            } else {
                spin->setProperty(kPending, false);
                postChange();
            }
        });
        QObject::connect(spin, &QAbstractSpinBox::editingFinished, spin, [spin, post] {
            if (!spin->property(kPending).toBool()) return;
            spin->setProperty(kPending, false);
            post(EVENT_COMMIT);
        });
    }
}

}  // namespace qtor
