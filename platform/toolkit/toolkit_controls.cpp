// Control values and attributes, text messages created at run time, ring entries.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "graph_view.h"
#include "toolkit_internal.h"

using namespace qtor;

namespace {

constexpr const char* kTextColor = "qtorTextColor";
constexpr const char* kBgColor = "qtorBgColor";
constexpr const char* kAutoSize = "qtorAutoSize";
constexpr const char* kLineHeight = "qtorLineHeight";

QString ColorName(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF).name();
}

void Restyle(QWidget* w) {
    QString css;
    if (QVariant v = w->property(kTextColor); v.isValid())
        css += QString("color: %1;").arg(ColorName(v.toInt()));
    if (QVariant v = w->property(kBgColor); v.isValid())
        css += QString("background-color: %1;").arg(ColorName(v.toInt()));
    w->setStyleSheet(css);
}

void FitText(QWidget* w) {
    if (w->property(kAutoSize).toBool()) w->adjustSize();
}

// A label with the panel file's property `elide` asks for the width of its whole text, up to
// its maximum width, and shows a text longer than that cut in the middle; GetCtrlVal returns
// the whole text (and its tooltip, set apart, says it all).
constexpr const char* kFullText = "qtorFullText";
constexpr const char* kLeastWidth = "qtorLeastWidth";  // the minimum width the file gave

void ShowElided(QLabel* label) {
    const QString full = label->property(kFullText).toString();
    const int chrome = label->width() - label->contentsRect().width() + 2 * label->margin() +
                       std::max(label->indent(), 0);
    const int wanted = label->fontMetrics().horizontalAdvance(full) + chrome;
    label->setMinimumWidth(std::clamp(wanted, label->property(kLeastWidth).toInt(),
                                      std::max(label->maximumWidth(), 0)));
    const int width =
        label->contentsRect().width() - 2 * label->margin() - std::max(label->indent(), 0);
    label->setText(label->fontMetrics().elidedText(full, Qt::ElideMiddle, std::max(width, 0)));
}

class ElideOnResize : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) ShowElided(static_cast<QLabel*>(watched));
        return false;
    }
};

void SetLabelText(QLabel* label, const QString& text) {
    if (!label->property("elide").toBool()) {
        label->setText(text);
        return;
    }
    if (!label->property(kFullText).isValid()) {
        label->setProperty(kLeastWidth, label->minimumWidth());
        label->installEventFilter(new ElideOnResize(label));
    }
    label->setProperty(kFullText, text);
    ShowElided(label);
}

QString LabelText(const QLabel* label) {
    const QVariant full = label->property(kFullText);
    return full.isValid() ? full.toString() : label->text();
}

// Sizes are given as the height of a line of text in pixels; pick the largest font whose
// line fits, so texts placed a line height apart do not overlap.
void SetLineHeight(QWidget* w, int pixels) {
    QFont f = w->font();
    int size = std::max(1, pixels);
    f.setPixelSize(size);
    while (size > 1 && QFontMetrics(f).height() > pixels) f.setPixelSize(--size);
    w->setFont(f);
    w->setProperty(kLineHeight, pixels);
    FitText(w);
}

// Indicators change with every record of a fast acquisition; repainting them each time would
// cost more than the acquisition. They show their latest value once per screen refresh.
// What an indicator shows and what it will show at the next refresh; kept aside, since
// looking a widget's property up by name costs more than the rest of a value's way.
struct IndicatorState {
    QLineEdit* digits = nullptr;
    int shown = 0;
    int pending = 0;
    bool isPending = false;
};
std::unordered_map<const QSpinBox*, IndicatorState> g_indicators;
std::vector<QPointer<QSpinBox>> g_pendingIndicators;

// Only the digits are drawn again: a new value set on the spin box would repaint its frame
// and, through it, the group box around it. The spin box writes its digits again from its
// own value when it is shown, left or restyled; just before, that value is brought up to
// what is shown.
class IndicatorSync : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        switch (e->type()) {
            case QEvent::Show:
            case QEvent::FocusIn:
            case QEvent::FocusOut:
            case QEvent::EnabledChange:
            case QEvent::StyleChange:
            case QEvent::FontChange:
            case QEvent::LocaleChange: {
                auto* spin = static_cast<QSpinBox*>(watched);
                const auto it = g_indicators.find(spin);
                if (it != g_indicators.end() && spin->value() != it->second.shown) {
                    const QSignalBlocker block(spin);
                    spin->setValue(it->second.shown);
                }
                break;
            }
            default: break;
        }
        return false;
    }
};

IndicatorState& Indicator(QSpinBox* spin) {
    auto it = g_indicators.find(spin);
    if (it != g_indicators.end()) return it->second;
    IndicatorState& state = g_indicators[spin];
    state.digits = spin->findChild<QLineEdit*>();
    state.shown = spin->value();
    static auto* sync = new IndicatorSync(QCoreApplication::instance());
    spin->installEventFilter(sync);
    QObject::connect(spin, &QObject::destroyed, [spin] { g_indicators.erase(spin); });
    return state;
}

void ShowIndicatorValue(QSpinBox* spin, IndicatorState& state, int value) {
    state.shown = value;
    if (!state.digits) {
        const QSignalBlocker block(spin);
        spin->setValue(value);
        return;
    }
    const QSignalBlocker block(state.digits);  // the spin box must not re-read the text
    state.digits->setText(spin->prefix() + QString::number(value) + spin->suffix());
}

}  // namespace

void qtor::ShowPendingIndicators() {
    std::vector<QPointer<QSpinBox>> pending;
    pending.swap(g_pendingIndicators);
    for (QSpinBox* spin : pending) {
        if (!spin) continue;
        IndicatorState& state = Indicator(spin);
        if (!state.isPending) continue;
        state.isPending = false;
        ShowIndicatorValue(spin, state, state.pending);
    }
}

namespace {

bool PendingIndicators() { return !g_pendingIndicators.empty(); }

// The refresh that draws the graphs shows the indicators too; it learns how before the first
// indicator waits for it.
void ScheduleIndicatorRefresh() {
    static bool hooked = false;
    if (!hooked) {
        SetIndicatorRefresh(ShowPendingIndicators, PendingIndicators);
        hooked = true;
    }
    ScheduleRefresh();
}

void SetIndicator(QSpinBox* spin, int value) {
    value = std::clamp(value, spin->minimum(), spin->maximum());
    IndicatorState& state = Indicator(spin);
    if (!state.isPending) {
        if (state.shown == value) return;
        g_pendingIndicators.emplace_back(spin);
        state.isPending = true;
    }
    state.pending = value;
    // Shown at a refresh; the value itself is current at once for GetCtrlVal.
    ScheduleIndicatorRefresh();
}

int SetNumber(Control& c, double value) {
    QWidget* w = c.widget;
    switch (c.kind) {
        case CtrlKind::Indicator:
            SetIndicator(static_cast<QSpinBox*>(w), int(std::lround(value)));
            return 0;
        case CtrlKind::Numeric: {
            auto* spin = static_cast<QSpinBox*>(w);
            const int v = int(std::lround(value));
            // Set on every record: an unchanged value costs nothing (the last reported value
            // already equals the shown one).
            if (spin->value() != v) {
                const QSignalBlocker block(spin);
                spin->setValue(v);
                spin->setProperty(kLastValue, spin->value());
            }
            return 0;
        }
        case CtrlKind::Ring: {
            auto* combo = static_cast<QComboBox*>(w);
            const int index = combo->findData(int(std::lround(value)));
            if (index < 0) return kErrBadValue;
            const QSignalBlocker block(combo);
            combo->setCurrentIndex(index);
            return 0;
        }
        case CtrlKind::Slider: {
            auto* slider = static_cast<QAbstractSlider*>(w);
            const QSignalBlocker block(slider);  // set by the program: no event
            slider->setValue(int(std::lround(value)));
            return 0;
        }
        case CtrlKind::Toggle:
        case CtrlKind::Check:
            // clicked() is not emitted for this, so no event; toggled() keeps switch labels right.
            static_cast<QAbstractButton*>(w)->setChecked(value != 0);
            return 0;
        case CtrlKind::Text:
            if (auto* label = qobject_cast<QLabel*>(w))
                label->setText(QString::number(value));
            else if (auto* edit = qobject_cast<QLineEdit*>(w))
                edit->setText(QString::number(value));
            FitText(w);
            return 0;
        default: return kErrBadControl;
    }
}

int GetNumber(const Control& c, double* out) {
    QWidget* w = c.widget;
    switch (c.kind) {
        case CtrlKind::Numeric: *out = static_cast<QSpinBox*>(w)->value(); return 0;
        case CtrlKind::Indicator: {
            const IndicatorState& state = Indicator(static_cast<QSpinBox*>(w));
            *out = state.isPending ? state.pending : state.shown;
            return 0;
        }
        case CtrlKind::Ring: {
            auto* combo = static_cast<QComboBox*>(w);
            if (combo->currentIndex() < 0) return kErrBadValue;
            *out = combo->currentData().toDouble();
            return 0;
        }
        case CtrlKind::Toggle:
        case CtrlKind::Check:
            *out = static_cast<QAbstractButton*>(w)->isChecked() ? 1 : 0;
            return 0;
        case CtrlKind::Slider: *out = static_cast<QAbstractSlider*>(w)->value(); return 0;
        case CtrlKind::Text: {
            bool ok = false;
            QString text;
            if (auto* label = qobject_cast<QLabel*>(w))
                text = label->text();
            else if (auto* edit = qobject_cast<QLineEdit*>(w))
                text = edit->text();
            *out = text.trimmed().toDouble(&ok);
            return ok ? 0 : kErrBadValue;
        }
        default: return kErrBadControl;
    }
}

}  // namespace

int SetCtrlVal(int panel, int control, double value) {
    Control* c = FindControl(panel, control);
    return c ? SetNumber(*c, value) : kErrBadControl;
}
int SetCtrlVal(int panel, int control, int value) {
    return SetCtrlVal(panel, control, double(value));
}
int SetCtrlVal(int panel, int control, unsigned value) {
    return SetCtrlVal(panel, control, double(value));
}

int SetCtrlVal(int panel, int control, const char* text) {
    Control* c = FindControl(panel, control);
    if (!c) return kErrBadControl;
    const QString s = QString::fromUtf8(text ? text : "");
    if (auto* label = qobject_cast<QLabel*>(c->widget))
        SetLabelText(label, s);
    else if (auto* edit = qobject_cast<QLineEdit*>(c->widget))
        edit->setText(s);
    else if (auto* box = qobject_cast<QPlainTextEdit*>(c->widget))
        box->setPlainText(s);
    else if (auto* button = qobject_cast<QPushButton*>(c->widget); button && !button->isCheckable())
        button->setText(s);
    else
        return kErrBadValue;
    FitText(c->widget);
    return 0;
}

int GetCtrlVal(int panel, int control, double* value) {
    Control* c = FindControl(panel, control);
    return c ? GetNumber(*c, value) : kErrBadControl;
}

int GetCtrlVal(int panel, int control, int* value) {
    double v = 0;
    const int rc = GetCtrlVal(panel, control, &v);
    if (rc == 0) *value = int(std::lround(v));
    return rc;
}

int GetCtrlVal(int panel, int control, unsigned short* value) {
    double v = 0;
    const int rc = GetCtrlVal(panel, control, &v);
    if (rc == 0) *value = static_cast<unsigned short>(std::lround(v));
    return rc;
}

int GetCtrlVal(int panel, int control, std::string* text) {
    Control* c = FindControl(panel, control);
    if (!c) return kErrBadControl;
    QWidget* w = c->widget;
    if (auto* label = qobject_cast<QLabel*>(w))
        *text = LabelText(label).toStdString();
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        *text = edit->text().toStdString();
    else if (auto* combo = qobject_cast<QComboBox*>(w))
        *text = combo->currentText().toStdString();
    else if (auto* box = qobject_cast<QPlainTextEdit*>(w))
        *text = box->toPlainText().toStdString();
    else if (auto* button = qobject_cast<QPushButton*>(w); button && !button->isCheckable())
        *text = button->text().toStdString();
    else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        if (c->kind == CtrlKind::Indicator) {
            const IndicatorState& state = Indicator(spin);
            *text = state.isPending ? std::to_string(state.pending) : spin->text().toStdString();
        } else {
            *text = spin->text().toStdString();
        }
    } else
        return kErrBadValue;
    return 0;
}

namespace {

// A translucent white veil over a control whose values are old: they stay readable, visibly
// not live. (An opacity effect renders a graph's cached layers again, ghosting its axes.)
class StaleVeil : public QWidget {
  public:
    explicit StaleVeil(QWidget* target) : QWidget(target) {
        setObjectName(kName);
        setAttribute(Qt::WA_TransparentForMouseEvents);  // hover read-outs and clicks go on
        target->installEventFilter(this);
        setGeometry(target->rect());
        raise();
        show();
    }
    static QWidget* Of(QWidget* target) {
        return target->findChild<QWidget*>(kName, Qt::FindDirectChildrenOnly);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), QColor(255, 255, 255, 150));
    }
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == parent() && e->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
        return false;
    }

  private:
    static constexpr const char* kName = "staleVeil";
};

// A mode shows its graphs before it hides the others. Laid out at once, the window would
// grow to hold both sets and stay grown; the layout waits for the whole arrangement instead.
void SetVisibleDeferringLayout(QWidget* w, bool visible) {
    QWidget* window = w->window();
    QLayout* layout = window ? window->layout() : nullptr;
    if (!layout || !window->isVisible() || !layout->isEnabled()) {
        w->setVisible(visible);
        return;
    }
    layout->setEnabled(false);
    w->setVisible(visible);
    QTimer::singleShot(0, window, [layout = QPointer<QLayout>(layout)] {
        if (!layout) return;
        layout->setEnabled(true);
        layout->activate();
    });
}

}  // namespace

int SetCtrlAttribute(int panel, int control, CtrlAttribute attribute, int value) {
    Control* c = FindControl(panel, control);
    if (!c) return kErrBadControl;
    QWidget* w = c->widget;
    switch (attribute) {
        case ATTR_DIMMED: w->setEnabled(value == 0); return 0;
        case ATTR_VISIBLE: SetVisibleDeferringLayout(w, value != 0); return 0;
        case ATTR_TEXT_COLOR:
            w->setProperty(kTextColor, value);
            Restyle(w);
            return 0;
        case ATTR_TEXT_BGCOLOR:
            w->setProperty(kBgColor, value);
            Restyle(w);
            return 0;
        case ATTR_TEXT_POINT_SIZE:
            if (value <= 0) return kErrBadValue;
            SetLineHeight(w, value);
            return 0;
        case ATTR_POINTS_PER_SCREEN:
            if (!c->view || !c->view->isStrip()) return kErrBadAttribute;
            if (value < 1) return kErrBadValue;
            c->view->setPointsPerScreen(value);
            return 0;
        case ATTR_NUM_TRACES:
            if (!c->view || !c->view->isStrip()) return kErrBadAttribute;
            if (value < 1) return kErrBadValue;
            c->view->setNumTraces(value);
            return 0;
        case ATTR_SCROLL_MODE: return c->view && c->view->isStrip() ? 0 : kErrBadAttribute;
        case ATTR_PAUSED:
            if (!c->view || !c->view->isStrip()) return kErrBadAttribute;
            c->view->setPaused(value != 0);
            return 0;
        case ATTR_STALE: {
            QWidget* veil = StaleVeil::Of(w);
            if (value != 0 && !veil) new StaleVeil(w);
            if (value == 0) delete veil;
            return 0;
        }
        case ATTR_TOOLTIP: return kErrBadValue;  // takes a text
        case ATTR_TIME_AXIS_LINK: {
            if (!c->view || !c->view->isStrip()) return kErrBadAttribute;
            if (value == 0) {
                c->view->setRangeFollower(nullptr);
                return 0;
            }
            Control* other = FindControl(panel, value);
            if (!other || !other->view || !other->view->isStrip() || other == c)
                return kErrBadValue;
            // Looked up at each range: the other chart may be discarded with its panel.
            c->view->setRangeFollower([panel, value](double from, double to) {
                if (Control* o = FindControl(panel, value); o && o->view)
                    o->view->showRange(from, to);
            });
            return 0;
        }
        case ATTR_MIN_VALUE:
        case ATTR_MAX_VALUE: {
            if (auto* slider = qobject_cast<QAbstractSlider*>(w)) {
                const QSignalBlocker block(slider);
                if (attribute == ATTR_MIN_VALUE)
                    slider->setMinimum(value);
                else
                    slider->setMaximum(value);
                return 0;
            }
            auto* spin = qobject_cast<QSpinBox*>(w);
            if (!spin) return kErrBadAttribute;
            const QSignalBlocker block(spin);  // a value clamped into the new range is no event
            if (attribute == ATTR_MIN_VALUE)
                spin->setMinimum(value);
            else
                spin->setMaximum(value);
            spin->setProperty(kLastValue, spin->value());
            return 0;
        }
        case ATTR_TEXT_FONT: return kErrBadValue;  // takes a font name
    }
    return kErrBadAttribute;
}

int SetCtrlAttribute(int panel, int control, CtrlAttribute attribute, const char* value) {
    Control* c = FindControl(panel, control);
    if (!c) return kErrBadControl;
    if (attribute == ATTR_TOOLTIP) {
        c->widget->setToolTip(QString::fromUtf8(value ? value : ""));
        return 0;
    }
    if (attribute != ATTR_TEXT_FONT || !value) return kErrBadAttribute;
    QWidget* w = c->widget;
    const QString name = QString::fromUtf8(value);
    QFont f = name == VAL_APP_META_FONT ? QApplication::font() : QFont(name);
    w->setFont(f);
    if (int h = w->property(kLineHeight).toInt(); h > 0) SetLineHeight(w, h);
    FitText(w);
    return 0;
}

int GetCtrlAttribute(int panel, int control, CtrlAttribute attribute, std::string* value) {
    Control* c = FindControl(panel, control);
    if (!c) return kErrBadControl;
    if (attribute != ATTR_TOOLTIP) return kErrBadAttribute;
    *value = c->widget->toolTip().toStdString();
    return 0;
}

int GetCtrlAttribute(int panel, int control, CtrlAttribute attribute, int* value) {
    Control* c = FindControl(panel, control);
    if (!c) return kErrBadControl;
    QWidget* w = c->widget;
    switch (attribute) {
        case ATTR_DIMMED: *value = w->isEnabled() ? 0 : 1; return 0;
        case ATTR_VISIBLE: *value = w->isHidden() ? 0 : 1; return 0;
        case ATTR_TEXT_COLOR:
        case ATTR_TEXT_BGCOLOR: {
            const QVariant v = w->property(attribute == ATTR_TEXT_COLOR ? kTextColor : kBgColor);
            if (!v.isValid()) {
                const QColor q = w->palette().color(
                    attribute == ATTR_TEXT_COLOR ? w->foregroundRole() : w->backgroundRole());
                *value = int(q.rgb() & 0xFFFFFF);
            } else {
                *value = v.toInt();
            }
            return 0;
        }
        case ATTR_TEXT_POINT_SIZE: {
            const int h = w->property(kLineHeight).toInt();
            *value = h > 0 ? h : QFontMetrics(w->font()).height();
            return 0;
        }
        case ATTR_POINTS_PER_SCREEN:
        case ATTR_NUM_TRACES:
            if (!c->view || !c->view->isStrip()) return kErrBadAttribute;
            *value = attribute == ATTR_NUM_TRACES ? c->view->strip().numTraces
                                                  : c->view->strip().pointsPerScreen;
            return 0;
        case ATTR_PAUSED:
            if (!c->view || !c->view->isStrip()) return kErrBadAttribute;
            *value = c->view->strip().paused ? 1 : 0;
            return 0;
        case ATTR_STALE: *value = StaleVeil::Of(w) ? 1 : 0; return 0;
        case ATTR_MIN_VALUE:
        case ATTR_MAX_VALUE: {
            if (auto* slider = qobject_cast<QAbstractSlider*>(w)) {
                *value = attribute == ATTR_MIN_VALUE ? slider->minimum() : slider->maximum();
                return 0;
            }
            auto* spin = qobject_cast<QSpinBox*>(w);
            if (!spin) return kErrBadAttribute;
            *value = attribute == ATTR_MIN_VALUE ? spin->minimum() : spin->maximum();
            return 0;
        }
        default: return kErrBadAttribute;
    }
}

int NewCtrl(int panel, CtrlStyle style, const char* label, int top, int left) {
    Panel* p = FindPanel(panel);
    if (!p) return kErrBadPanel;
    if (style != CTRL_TEXT_MSG) return kErrBadValue;
    // Text messages go to the header strip, which has no layout, at the pixel position given.
    QWidget* parent = p->header ? p->header.data() : p->window.data();
    auto* text = new QLabel(QString::fromUtf8(label ? label : ""), parent);
    text->setProperty(kAutoSize, true);
    text->setMargin(0);
    text->move(left, top);
    text->adjustSize();
    text->show();
    text->raise();
    const int id = p->nextNewCtrl++;
    Control c;
    c.widget = text;
    c.kind = CtrlKind::Text;
    p->controls.emplace(id, c);
    return id;
}

int ClearListCtrl(int panel, int control) {
    Control* c = FindControl(panel, control);
    if (!c || c->kind != CtrlKind::Ring) return kErrBadControl;
    auto* combo = static_cast<QComboBox*>(c->widget.data());
    const QSignalBlocker block(combo);
    combo->clear();
    combo->view()->setMinimumWidth(0);
    return 0;
}

int InsertListItem(int panel, int control, int index, const char* label, int value) {
    Control* c = FindControl(panel, control);
    if (!c || c->kind != CtrlKind::Ring) return kErrBadControl;
    auto* combo = static_cast<QComboBox*>(c->widget.data());
    const QSignalBlocker block(combo);
    const int at = index < 0 || index > combo->count() ? combo->count() : index;
    combo->insertItem(at, QString::fromUtf8(label ? label : ""), value);
    // The list opens wide enough for its longest entry, however narrow the box (with room
    // for the entry's margins and a scroll bar).
    QAbstractItemView* list = combo->view();
    const int width =
        combo->fontMetrics().horizontalAdvance(combo->itemText(at)) + 2 * list->frameWidth() + 32;
    list->setMinimumWidth(std::max(list->minimumWidth(), width));
    return 0;
}
