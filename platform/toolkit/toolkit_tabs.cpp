// A window that holds several panels as tabs under a row of overview entries, one per tab.
#include <QApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>
#include <functional>
#include <vector>

#include "files.h"
#include "toolkit_internal.h"

namespace qtor {

namespace {

struct Tabbed {
    QPointer<QTabWidget> tabs;
    QPointer<QWidget> overview;
    std::map<int, QPointer<QPushButton>> entries;  // by panel handle
};

std::map<int, Tabbed>& TabbedPanels() {
    static std::map<int, Tabbed> tabbed;
    return tabbed;
}

Tabbed* FindTabbed(int handle) {
    auto it = TabbedPanels().find(handle);
    return it == TabbedPanels().end() ? nullptr : &it->second;
}

int TabIndex(const Tabbed& t, int panel) {
    Panel* p = FindPanel(panel);
    return p && p->window ? t.tabs->indexOf(p->window) : -1;
}

// The overview's entries stand in the order of the tabs.
void OrderEntries(Tabbed& t) {
    auto* row = static_cast<QHBoxLayout*>(t.overview->layout());
    for (int i = 0; i < t.tabs->count(); ++i) {
        const int handle = t.tabs->widget(i)->property("qtorPanelHandle").toInt();
        auto it = t.entries.find(handle);
        if (it == t.entries.end() || !it->second) continue;
        row->removeWidget(it->second);
        row->insertWidget(i, it->second);
    }
}

std::function<int(const std::string&, const std::vector<std::string>&, int*)> g_listHook;

}  // namespace

}  // namespace qtor

using namespace qtor;

int NewTabbedPanel(const char* title, const char* callback) {
    auto panel = std::make_unique<Panel>();
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setWindowTitle(QString::fromUtf8(title ? title : ""));
    auto* column = new QVBoxLayout(window);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    auto* overview = new QWidget(window);
    auto* row = new QHBoxLayout(overview);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addStretch(1);
    column->addWidget(overview);
    auto* tabs = new QTabWidget(window);
    tabs->setDocumentMode(true);
    column->addWidget(tabs, 1);
    panel->window = window;
    panel->callback = QString::fromUtf8(callback ? callback : "");
    panel->handle = NextPanelHandle();
    const int handle = panel->handle;
    Panel& p = *panel;
    Panels()[handle] = std::move(panel);
    WirePanel(p);
    WatchWindowKeys(window);
    TabbedPanels()[handle] = Tabbed{tabs, overview, {}};
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs,
                     [handle](int) { PostEvent(handle, 0, EVENT_TAB_CHANGED); });
    // Ctrl+Tab and Ctrl+Shift+Tab go from tab to tab wherever the focus is in the window.
    for (const auto& [keys, step] :
         {std::pair{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
          std::pair{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
          std::pair{QKeySequence(Qt::CTRL | Qt::Key_Backtab), -1}}) {
        auto* shortcut = new QShortcut(keys, window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, tabs, [tabs, step = step] {
            if (tabs->count() > 0)
                tabs->setCurrentIndex((tabs->currentIndex() + step + tabs->count()) %
                                      tabs->count());
        });
    }
    return handle;
}

int InsertPanelTab(int tabbed, int panel, int index, const char* label) {
    Tabbed* t = FindTabbed(tabbed);
    Panel* p = FindPanel(panel);
    if (!t || !p || !p->window || p->window->property(kTabbedBy).toInt() != 0) return kErrBadPanel;
    QWidget* w = p->window;
    const bool first = t->tabs->count() == 0;
    // The window of the first panel passes on its size, so the program opens as it was.
    if (first) FindPanel(tabbed)->window->resize(w->size() + QSize(8, 60));
    w->setProperty(kTabbedBy, tabbed);
    const int at = t->tabs->insertTab(index < 0 ? t->tabs->count() : index, w,
                                      QString::fromUtf8(label ? label : ""));
    auto* entry = new QPushButton(t->overview);
    entry->setAutoFillBackground(true);
    entry->setFocusPolicy(Qt::NoFocus);
    QObject::connect(entry, &QPushButton::clicked, t->tabs,
                     [tabs = t->tabs, w = QPointer<QWidget>(w)] {
                         if (w) tabs->setCurrentWidget(w);
                     });
    t->entries[panel] = entry;
    static_cast<QHBoxLayout*>(t->overview->layout())->insertWidget(at, entry);
    OrderEntries(*t);
    return at;
}

int RemovePanelTab(int tabbed, int panel) {
    Tabbed* t = FindTabbed(tabbed);
    if (!t) return kErrBadPanel;
    const int i = TabIndex(*t, panel);
    if (i < 0) return kErrBadPanel;
    QWidget* w = FindPanel(panel)->window;
    t->tabs->removeTab(i);
    w->setProperty(kTabbedBy, 0);
    // A window of its own again, hidden until shown.
    w->setParent(nullptr, Qt::Window);
    w->hide();
    auto it = t->entries.find(panel);
    if (it != t->entries.end()) {
        delete it->second.data();
        t->entries.erase(it);
    }
    return 0;
}

int SetPanelTabLabel(int tabbed, int panel, const char* label, const char* tooltip) {
    Tabbed* t = FindTabbed(tabbed);
    if (!t) return kErrBadPanel;
    const int i = TabIndex(*t, panel);
    if (i < 0) return kErrBadPanel;
    t->tabs->setTabText(i, QString::fromUtf8(label ? label : ""));
    t->tabs->setTabToolTip(i, QString::fromUtf8(tooltip ? tooltip : ""));
    return 0;
}

int ShowPanelTab(int tabbed, int panel) {
    Tabbed* t = FindTabbed(tabbed);
    if (!t) return kErrBadPanel;
    const int i = TabIndex(*t, panel);
    if (i < 0) return kErrBadPanel;
    t->tabs->setCurrentIndex(i);
    return 0;
}

int GetShownPanelTab(int tabbed) {
    Tabbed* t = FindTabbed(tabbed);
    if (!t || !t->tabs->currentWidget()) return 0;
    return t->tabs->currentWidget()->property("qtorPanelHandle").toInt();
}

int SetPanelTabOverview(int tabbed, int panel, const char* text, int colour, const char* tooltip) {
    Tabbed* t = FindTabbed(tabbed);
    if (!t) return kErrBadPanel;
    auto it = t->entries.find(panel);
    if (it == t->entries.end() || !it->second) return kErrBadPanel;
    QPushButton* entry = it->second;
    const QString shown = QString::fromUtf8(text ? text : "");
    if (entry->text() != shown) entry->setText(shown);
    const QString style = QStringLiteral(
                              "QPushButton { background: #%1; color: black; "
                              "text-align: left; padding: 2px 6px; }")
                              .arg(colour & 0xFFFFFF, 6, 16, QLatin1Char('0'));
    if (entry->styleSheet() != style) entry->setStyleSheet(style);
    entry->setToolTip(QString::fromUtf8(tooltip ? tooltip : ""));
    return 0;
}

int GetPanelTabOverview(int tabbed, int panel, std::string* text, int* colour) {
    Tabbed* t = FindTabbed(tabbed);
    if (!t) return kErrBadPanel;
    auto it = t->entries.find(panel);
    if (it == t->entries.end() || !it->second) return kErrBadPanel;
    if (text) *text = it->second->text().toStdString();
    if (colour) {
        const QString style = it->second->styleSheet();
        const qsizetype at = style.indexOf('#');
        *colour = at < 0 ? 0 : style.mid(at + 1, 6).toInt(nullptr, 16);
    }
    return 0;
}

int ClickPanelTabOverview(int tabbed, int panel) {
    Tabbed* t = FindTabbed(tabbed);
    if (!t) return kErrBadPanel;
    auto it = t->entries.find(panel);
    if (it == t->entries.end() || !it->second) return kErrBadPanel;
    it->second->click();
    return 0;
}

int ListSelectPopup(const std::string& title, const std::vector<std::string>& entries,
                    int* picked) {
    if (g_listHook) return g_listHook(title, entries, picked);
    QStringList items;
    for (const std::string& e : entries) items << QString::fromStdString(e);
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(QApplication::activeWindow(), QString::fromStdString(title),
                              QString::fromStdString(title), items, 0, false, &ok);
    if (!ok) return 0;
    *picked = static_cast<int>(items.indexOf(chosen));
    return *picked >= 0 ? 1 : 0;
}

void SetListDialogHook(
    std::function<int(const std::string&, const std::vector<std::string>&, int*)> hook) {
    g_listHook = std::move(hook);
}
