// Settings in QSettings, panel placement on the screens.
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <memory>

#include "settings.h"
#include "toolkit_internal.h"

namespace {

QString g_file;
std::unique_ptr<QSettings> g_settings;

QSettings& Store() {
    if (!g_settings) {
        g_settings = g_file.isEmpty()
                         ? std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                       "qtor", "qtor-kmb")
                         : std::make_unique<QSettings>(g_file, QSettings::IniFormat);
    }
    return *g_settings;
}

// Window decorations are unknown before a window is shown; a title bar and thin borders
// are assumed, as when a panel is first placed.
constexpr QMargins kAssumedFrame(8, 40, 8, 8);

}  // namespace

void SetSettingsFile(const std::string& path) {
    g_settings.reset();
    g_file = QString::fromStdString(path);
}

bool ReadSetting(const std::string& key, std::string* value) {
    QSettings& s = Store();
    const QString k = QString::fromStdString(key);
    if (s.status() != QSettings::NoError || !s.contains(k)) return false;
    *value = s.value(k).toString().toStdString();
    return true;
}

void WriteSetting(const std::string& key, const std::string& value) {
    Store().setValue(QString::fromStdString(key), QString::fromStdString(value));
}

void ClearSettings() { Store().clear(); }

int SaveSettings() {
    QSettings& s = Store();
    s.sync();
    // The settings may hold the broker's password: for the user's eyes only.
    QFile::setPermissions(s.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return s.status() == QSettings::NoError ? 0 : -1;
}

std::string GetPanelPlacement(int panel) {
    qtor::Panel* p = qtor::FindPanel(panel);
    if (!p) return {};
    const QRect r = p->window->isMaximized() ? p->window->normalGeometry() : p->window->geometry();
    return QString("%1,%2,%3,%4")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
}

int SetPanelPlacement(int panel, const std::string& placement) {
    qtor::Panel* p = qtor::FindPanel(panel);
    if (!p) return qtor::kErrBadPanel;
    static const QRegularExpression form(R"(^\s*(-?\d{1,6}),(-?\d{1,6}),(\d{1,6}),(\d{1,6})\s*$)");
    const QRegularExpressionMatch m = form.match(QString::fromStdString(placement));
    if (!m.hasMatch()) return qtor::kErrBadValue;
    const QRect r(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                  m.captured(4).toInt());
    QWidget* w = p->window;
    const QSize least = w->minimumSizeHint().expandedTo(w->minimumSize());
    if (r.width() < least.width() || r.height() < least.height()) return qtor::kErrBadValue;
    // The whole window, frame included, on one screen.
    const QRect framed = r.marginsAdded(kAssumedFrame);
    bool fits = false;
    for (QScreen* screen : QGuiApplication::screens())
        fits |= screen->availableGeometry().contains(framed);
    if (!fits) return qtor::kErrBadValue;
    w->setGeometry(r);
    w->setProperty(qtor::kPlaced, true);
    return 0;
}
