#include "operator_level.h"

#include <cstdio>
#include <filesystem>

#include "QtorKMBscope10.h"
#include "audit.h"
#include "event_loop.h"
#include "files.h"
#include "port_table.h"
#include "qtor_version.h"
#include "station.h"
#include "system_files.h"
#include "timer.h"
#include "toolkit.h"
#include "user_input.h"

const char* const kLockedText = "Locked: maintenance key needed";

namespace {

struct Guarded {
    int panel;  // 0: main, 1: popup
    int control;
};
// What changes a sensor or the set it is sent: the buttons, the file target and every field.
constexpr Guarded kGuarded[] = {
    {0, BTNSend},        {0, ButtonTeach}, {0, ButtonReset}, {0, RBTFile},
    {0, NEDITTolLeff},   {0, NEDITeachA},  {0, NEDITeachB},  {1, NEDITVideoThdA},
    {1, NEDITVideoThdB}, {1, NEDITPowerA}, {1, NEDITSTime},  {1, NEDITAverage},
    {1, DropPolarity},   {1, DropAnaMode}, {1, DropEPoti},   {1, DropEvalMode}};

// Looks every five seconds of Timer() (the test clock's too).
void WatchIdle(Station& s) {
    s.lockWatch = CallAfter(5.0, [&s] {
        RelockIfIdle(s);
        WatchIdle(s);
    });
}

}  // namespace

void LoadLock(Station& s, const KeyFiles& files, const std::string& trailPath) {
    StoredKey key = LoadKey(files);
    std::string path = trailPath;
    if (path.empty() && key.Set())
        path = (std::filesystem::path(SettingsFolder()) / "audit.jsonl").string();
    s.oplock = OperatorLock(std::move(key), AuditTrail(path),
                            [&s](const std::string& action) { return StationEntry(s, action); });
    // Any input at the PC keeps the level; the check runs whether or not anybody is there.
    if (!s.inputListener) s.inputListener = AddUserInputListener([&s] { s.oplock.Input(Timer()); });
    if (!s.lockWatch) WatchIdle(s);
    ShowLevel(s);
}

void ShowLevel(Station& s) {
    const bool locked = s.oplock.Locked();
    for (const Guarded& g : kGuarded) {
        const int p = g.panel == 0 ? s.panels.panelHandle : s.panels.panelPopUp;
        // The panel file's own tooltip (perhaps none), kept the first time it is replaced.
        const auto [kept, first] = s.unlockedTips.try_emplace(g.control + 100 * g.panel);
        std::string& tip = kept->second;
        if (first) GetCtrlAttribute(p, g.control, ATTR_TOOLTIP, &tip);
        // A running mode keeps Send dimmed until it stops.
        const bool modeHolds = g.control == BTNSend && g.panel == 0 && s.link.ModeRunning();
        if (locked || !modeHolds) SetCtrlAttribute(p, g.control, ATTR_DIMMED, locked ? 1 : 0);
        SetCtrlAttribute(p, g.control, ATTR_TOOLTIP, locked ? kLockedText : tip.c_str());
    }
    const int p = s.panels.panelHandle;
    const bool keySet = s.oplock.KeySet();
    SetCtrlAttribute(p, BTNUnlock, ATTR_DIMMED, !locked);
    SetCtrlAttribute(p, BTNLock, ATTR_DIMMED, locked || !keySet);
    const std::string level = s.oplock.Level();
    SetCtrlVal(p, TEXT_Level, level.empty() ? "" : (level + " level").c_str());
}

bool RefusedByLock(Station& s) {
    if (!s.oplock.Locked()) return false;
    s.link.ShowStatus(kLockedText);
    return true;
}

AuditEntry StationEntry(const Station& s, const std::string& action) {
    AuditEntry e = AuditNow(action);
    e.program = std::string("qtor-kmb ") + kQtorVersion;
    const std::string device = PortTableDevice(s.link.com);
    e.port = s.Name() + (device.empty() ? "" : " " + device);
    e.firmware = s.link.szVersion;
    return e;
}

std::string KeepInTrail(const Station& s, const AuditEntry& entry) {
    std::string error;
    if (s.oplock.Keep(entry, &error)) return {};
    return "Audit trail not written: " + error;
}

bool TrailReady(Station& s) {
    std::string error;
    if (!s.oplock.Trail().Kept() || s.oplock.Trail().Ready(&error)) return true;
    s.link.ShowStatus("Audit trail cannot be written: nothing sent");
    return false;
}

void RelockIfIdle(Station& s) {
    if (s.oplock.RelockIfIdle(Timer())) {
        ShowLevel(s);
        s.link.ShowStatus("Locked after 10 minutes without input");
    }
}

int CC_BTNUnlock(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    if (!s.oplock.KeySet()) return 0;
    char text[80];
    if (const double wait = s.oplock.RefusedFor(Timer()); wait > 0.0) {
        std::snprintf(text, sizeof text, "Too many wrong keys: try again in %.0f s", wait + 0.5);
        s.link.ShowStatus(text);
        return 0;
    }
    std::string key;
    if (PasswordPopup("Unlock", "Maintenance key:", &key) != 1) return 0;
    switch (s.oplock.TryUnlock(key, Timer())) {
        case OperatorLock::Unlock::kUnlocked: s.link.ShowStatus("Maintenance level"); break;
        case OperatorLock::Unlock::kWrongKey: s.link.ShowStatus("Wrong maintenance key"); break;
        case OperatorLock::Unlock::kRefused:
            s.link.ShowStatus("Too many wrong keys: unlocking refused for 60 s");
            break;
        case OperatorLock::Unlock::kTrailUnwritable:
            s.link.ShowStatus("Audit trail cannot be written: stays locked");
            break;
    }
    ShowLevel(s);
    return 0;
}

int CC_BTNLock(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    s.oplock.Lock("by hand", Timer());
    ShowLevel(s);
    s.link.ShowStatus("Operator level");
    return 0;
}
