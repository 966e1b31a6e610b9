#include "panel_loader.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QUiLoader>
#include <algorithm>

#include "graph_view.h"
#include "panel_check.h"

namespace qtor {

namespace {

// Name prefixes of controls the program addresses by constant; such a widget without its
// constant is a defect of the panel file, not something to skip silently.
bool LooksLikeControl(const QString& name) {
    static const char* const prefixes[] = {"BTN",     "Button",  "NEDIT", "RBT",    "Drop",
                                           "TOGBTN_", "BIN_Sw_", "CHECK", "GRAPH_", "STRIP_",
                                           "NUM_",    "TEXT_",   "SLIDE_"};
    return std::any_of(std::begin(prefixes), std::end(prefixes),
                       [&](const char* p) { return name.startsWith(QLatin1String(p)); });
}

bool IsControlWidget(QWidget* w) {
    return w->property("callback").isValid() || w->property("kind").isValid() ||
           LooksLikeControl(w->objectName());
}

CtrlKind Classify(QWidget* w) {
    const QString kind = w->property("kind").toString();
    if (kind == "graph") return CtrlKind::Graph;
    if (kind == "strip") return CtrlKind::Strip;
    if (auto* spin = qobject_cast<QSpinBox*>(w))
        return spin->isReadOnly() || kind == "indicator" ? CtrlKind::Indicator : CtrlKind::Numeric;
    if (qobject_cast<QComboBox*>(w)) return CtrlKind::Ring;
    if (qobject_cast<QAbstractSlider*>(w)) return CtrlKind::Slider;
    if (auto* button = qobject_cast<QPushButton*>(w))
        return button->isCheckable() ? CtrlKind::Toggle : CtrlKind::Command;
    if (qobject_cast<QAbstractButton*>(w)) return CtrlKind::Check;
    return CtrlKind::Text;
}

// Collects the loader's warnings instead of letting them reach standard error: a bad panel
// file must be reported in one line, and a good one's warnings each in one line naming it.
QStringList* g_loaderMessages = nullptr;
void CollectMessage(QtMsgType, const QMessageLogContext&, const QString& msg) {
    if (g_loaderMessages) g_loaderMessages->append(msg);
}

void PrepareControl(Control& c) {
    QWidget* w = c.widget;
    switch (c.kind) {
        case CtrlKind::Ring: {
            // Entries from the file have no value of their own: their value is their position.
            auto* combo = static_cast<QComboBox*>(w);
            for (int i = 0; i < combo->count(); ++i)
                if (!combo->itemData(i).isValid()) combo->setItemData(i, i);
            break;
        }
        case CtrlKind::Graph:
        case CtrlKind::Strip: c.view = new GraphView(w, c.kind == CtrlKind::Strip); break;
        case CtrlKind::Text:
            if (int chars = w->property("minChars").toInt(); chars > 0) {
                const QFontMetrics fm(w->font());
                w->setMinimumWidth(fm.horizontalAdvance(QString(chars, QChar('n'))) + 12);
            }
            // A text of fixed lines and columns that changes often: a fixed size spares the
            // panel a layout at every change.
            if (int chars = w->property("fixedChars").toInt(); chars > 0) {
                w->ensurePolished();
                const QFontMetrics fm(w->font());
                const int lines = std::max(1, w->property("fixedLines").toInt());
                w->setFixedSize(fm.horizontalAdvance(QString(chars, QChar('n'))) + 8,
                                fm.lineSpacing() * lines + 6);
            }
            break;
        case CtrlKind::Indicator:
            // Opaque digits: a new value repaints them alone, not the frame and group around.
            if (auto* edit = w->findChild<QLineEdit*>()) edit->setAutoFillBackground(true);
            break;
        case CtrlKind::Command:
            // Return activates the focused button: the space bar may be a panel's key.
            static_cast<QPushButton*>(w)->setAutoDefault(true);
            break;
        case CtrlKind::Toggle:
            static_cast<QPushButton*>(w)->setAutoDefault(true);
            if (w->property("kind").toString() == "switch") {
                // A switch names its state: keep its text in step with the value.
                auto* b = static_cast<QPushButton*>(w);
                auto update = [b](bool on) {
                    const QVariant text = b->property(on ? "textOn" : "textOff");
                    if (text.isValid()) b->setText(text.toString());
                };
                QObject::connect(b, &QAbstractButton::toggled, b, update);
                update(b->isChecked());
            }
            break;
        default: break;
    }
}

}  // namespace

std::unique_ptr<Panel> LoadPanelFromFile(const QString& path, int panelId, QWidget* parent,
                                         QString* error, QStringList* warnings) {
    QFile file(path);
    if (!QFileInfo::exists(path)) {
        *error = QString("panel file %1 not found").arg(path);
        return nullptr;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QString("panel file %1 cannot be read: %2").arg(path, file.errorString());
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.trimmed().isEmpty()) {
        *error = QString("panel file %1 is empty").arg(path);
        return nullptr;
    }
    QUiLoader loader;
    // The loader takes "Line" for a QFrame without listing it.
    const QStringList widgetClasses = loader.availableWidgets() << "Line";
    if (QString bad = CheckPanelDocument(bytes, widgetClasses, loader.availableLayouts());
        !bad.isEmpty()) {
        *error = QString("panel file %1 %2").arg(path, bad);
        return nullptr;
    }

    QStringList messages;
    g_loaderMessages = &messages;
    QtMessageHandler previous = qInstallMessageHandler(CollectMessage);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    std::unique_ptr<QWidget> root(loader.load(&buffer));
    qInstallMessageHandler(previous);
    g_loaderMessages = nullptr;
    if (!root) {
        QString why = loader.errorString();
        if (why.isEmpty() && !messages.isEmpty()) why = messages.first();
        *error = QString("panel file %1 cannot be loaded: %2").arg(path, why.simplified());
        return nullptr;
    }
    for (const QString& m : messages) warnings->append(m.simplified());

    QList<QWidget*> candidates = root->findChildren<QWidget*>();
    candidates.prepend(root.get());
    QWidget* panelWidget = nullptr;
    for (QWidget* w : candidates) {
        bool ok = false;
        if (w->property("panel").toInt(&ok) == panelId && ok) {
            if (panelWidget) {
                *error = QString("panel file %1 has two panels numbered %2").arg(path).arg(panelId);
                return nullptr;
            }
            panelWidget = w;
        }
    }
    if (!panelWidget) {
        *error = QString("panel file %1 has no panel %2").arg(path).arg(panelId);
        return nullptr;
    }

    auto panel = std::make_unique<Panel>();
    panel->id = panelId;
    panel->file = path;
    panel->callback = panelWidget->property("callback").toString();
    std::map<int, QString> names;
    for (QWidget* w : panelWidget->findChildren<QWidget*>()) {
        if (w->property("header").toBool()) panel->header = w;
        const QVariant ctrl = w->property("ctrl");
        if (!ctrl.isValid()) {
            if (IsControlWidget(w)) {
                *error = QString("panel %1 of %2: control %3 has no constant")
                             .arg(panelId)
                             .arg(path, w->objectName());
                return nullptr;
            }
            continue;
        }
        bool ok = false;
        const int id = ctrl.toInt(&ok);
        if (!ok || id <= 0) {
            *error = QString("panel %1 of %2: control %3 has an invalid constant")
                         .arg(panelId)
                         .arg(path, w->objectName());
            return nullptr;
        }
        if (auto [it, fresh] = names.emplace(id, w->objectName()); !fresh) {
            *error = QString("panel %1 of %2: constant %3 is used by both %4 and %5")
                         .arg(panelId)
                         .arg(path)
                         .arg(id)
                         .arg(it->second, w->objectName());
            return nullptr;
        }
        Control c;
        c.widget = w;
        c.kind = Classify(w);
        c.callback = w->property("callback").toString();
        panel->controls.emplace(id, c);
    }

    // The panel becomes a window of its own; the rest of the document goes.
    if (panelWidget == root.get()) root.release();
    panelWidget->setParent(parent, Qt::Window);
    // Keep the size the panel file gives: a window never resized explicitly is grown to its
    // size hint whenever a mode shows other graphs.
    panelWidget->resize(panelWidget->size());
    panelWidget->setAttribute(Qt::WA_Resized);
    root.reset();
    panel->window = panelWidget;
    for (auto& [id, c] : panel->controls) PrepareControl(c);
    return panel;
}

}  // namespace qtor
