#include "parameter_callbacks.h"

#include <array>
#include <cstdint>
#include <string>

#include "QtorKMBscope10.h"
#include "audit.h"
#include "commands.h"
#include "editfields.h"
#include "operator_level.h"
#include "paramfiles.h"
#include "station.h"
#include "timer.h"
#include "toolkit.h"
#include "transfer.h"

namespace {

void OnRadio(void* data, int own, int ownTarget, int other1, int other2) {
    Station& s = StationOf(data);
    s.target = OnTargetRadio(s.panels, own, ownTarget, other1, other2);
}

Task<> GetParameters(Station& s) {
    if (s.target == DATFILE) ReadParaFromFile(s.link, s.files, s.params);
    co_await PushGET(s.link, s.target, s.params);
}

}  // namespace

int CC_RBTRam(int, int, int event, void* data, int, int) {
    if (event == EVENT_VAL_CHANGED && data) OnRadio(data, RBTRam, RAM, RBTEeprom, RBTFile);
    return 0;
}

int CC_RBTEeprom(int, int, int event, void* data, int, int) {
    if (event == EVENT_VAL_CHANGED && data) OnRadio(data, RBTEeprom, EEPROM, RBTRam, RBTFile);
    return 0;
}

int CC_RBTFile(int, int, int event, void* data, int, int) {
    if (event == EVENT_VAL_CHANGED && data) OnRadio(data, RBTFile, DATFILE, RBTEeprom, RBTRam);
    return 0;
}

int CC_BIN_Sw_ParaSelect(int panel, int control, int event, void* data, int, int) {
    if (event != EVENT_VAL_CHANGED || !data) return 0;
    const PanelHandles& panels = StationOf(data).panels;
    int hidden = 0;
    GetCtrlVal(panel, control, &hidden);
    if (hidden == 1) {
        HidePanel(panels.panelPopUp);
    } else {
        DisplayPanel(panels.panelPopUp);
    }
    return 0;
}

int CC_BTNSend(int, int, int event, void* data, int, int) {
    if (event != EVENT_LEFT_CLICK || !data) return 0;
    Station& s = StationOf(data);
    RelockIfIdle(s);
    if (RefusedByLock(s)) return 0;
    s.oplock.Input(Timer());
    s.link.ShowStatus("Transmit...");
    if (s.target == DATFILE) {
        if (SelectParameterFileToSave(s.files)) SendParaToFile(s.link, s.panels, s.params, s.files);
        return 0;
    }
    if (!TrailReady(s)) return 0;
    s.link.WhenLineFree("send", ActionKind::kAction, [&s] {
        // The old words are the set as last read from or sent to the sensor.
        std::array<std::uint16_t, PNUM> before{};
        ParameterWords(s.params, before.data());
        const int target = s.target;
        return SendToSensor(
            s.link, s.panels, s.params, target,
            [&s, before, target](const std::uint16_t* sent, const WriteCheck& c) {
                s.plant.ParametersWritten(target == EEPROM ? "EEPROM" : "RAM", before.data(), sent,
                                          c.replied && c.differing.empty());
                if (!s.oplock.Trail().Kept()) return std::string();
                AuditEntry e = StationEntry(s, target == EEPROM ? "send-eeprom" : "send-ram");
                e.changes = ChangedWords(before.data(), sent);
                e.verified = c.replied && c.differing.empty();
                return KeepInTrail(s, e);
            });
    });
    return 0;
}

int CC_BTNGet(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    // Loading a parameter file into the panels is a change at maintenance level.
    if (s.target == DATFILE) {
        RelockIfIdle(s);
        if (RefusedByLock(s)) return 0;
        s.oplock.Input(Timer());
    }
    s.link.WhenLineFree("get", ActionKind::kAction, [&s] { return GetParameters(s); });
    return 0;
}

int CC_CHECKFile(int panel, int control, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    int checked = 0;
    GetCtrlVal(panel, control, &checked);
    if (checked != 1) return 0;
    const std::string path =
        ChooseFileForToggle(s.files, panel, control, &s.files.measure_dir, "QTORMeasure.dat",
                            "*.dat", "Q-TOR-Measurement-Data-File");
    if (path.empty()) return 0;
    s.files.measurement_file = path;
    WriteMeasurementFile(s.link, s.files, s.plots);
    return 0;
}

int CC_NEDITVideoThdA(int panel, int control, int event, void* data, int, int) {
    if (event == EVENT_VAL_CHANGED && data) {
        Station& s = StationOf(data);
        RedrawThresholdA(panel, control, s.plots, s.gui);
    }
    return 0;
}

int CC_NEDITVideoThdB(int panel, int control, int event, void* data, int, int) {
    if (event == EVENT_VAL_CHANGED && data) {
        Station& s = StationOf(data);
        RedrawThresholdB(panel, control, s.plots, s.gui);
    }
    return 0;
}

int CC_NEDITeachA(int panel, int control, int event, void*, int, int) {
    if (event == EVENT_COMMIT) MoveSetPointCursor(panel, control, panel, GRAPH_VideoA);
    return 0;
}

int CC_NEDITeachB(int panel, int control, int event, void*, int, int) {
    if (event == EVENT_COMMIT) MoveSetPointCursor(panel, control, panel, GRAPH_VideoB);
    return 0;
}

// Editing the tolerance or a mode waits for the next parameter read to show on the graphs.
int CC_NEDITTolLeff(int, int, int, void*, int, int) { return 0; }
int CC_DropEvalMode(int, int, int, void*, int, int) { return 0; }
int CC_DropAnaMode(int, int, int, void*, int, int) { return 0; }
