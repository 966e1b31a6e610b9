// Turns user actions on panels and controls into the toolkit's events.
//
// Signals that only user actions emit (clicked, activated) are used where Qt has them; the
// rest are blocked while the program sets values, so SetCtrlVal never raises an event.
// Callbacks are posted, not called from the widget's handler: a callback may pump events
// for minutes, and other controls must stay live meanwhile.
#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSpinBox>

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

InputFilter* Filter() {
    static InputFilter* filter = new InputFilter(QCoreApplication::instance());
    return filter;
}

}  // namespace

void WirePanel(Panel& panel) {
    panel.window->setProperty(kHandle, panel.handle);
    panel.window->installEventFilter(Filter());
}

void WireControl(Panel& panel, int id, Control& control) {
    const int h = panel.handle;
    QWidget* w = control.widget;
    auto post = [h, id](EventKind e) { PostEvent(h, id, e); };
    auto postChange = [h, id] { PostEvents(h, id, {EVENT_VAL_CHANGED, EVENT_COMMIT}); };

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
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
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
