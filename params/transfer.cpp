#include "transfer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "exchange.h"
#include "mapping.h"
#include "model.h"
#include "paramfiles.h"
#include "toolkit.h"

namespace {

// A radio button switched on selects its target alone; switched off, the choice falls back
// to RAM, which cannot be switched off.
void OnRadio(int own, int ownTarget, int other1, int other2) {
    const int p = panels.panelHandle;
    int value = 0;
    GetCtrlVal(p, own, &value);
    if (value == 1) {
        SetCtrlVal(p, own, 1);
        line.target = ownTarget;
        SetCtrlVal(p, other1, 0);
        SetCtrlVal(p, other2, 0);
    } else {
        line.target = RAM;
        SetCtrlVal(p, RBTRam, 1);
    }
}

}  // namespace

void SelectRamTarget() {
    const int p = panels.panelHandle;
    SetCtrlVal(p, RBTRam, 1);
    line.target = RAM;
    SetCtrlVal(p, RBTEeprom, 0);
    SetCtrlVal(p, RBTFile, 0);
}

int CC_RBTRam(int, int, int event, void*, int, int) {
    if (event == EVENT_VAL_CHANGED) OnRadio(RBTRam, RAM, RBTEeprom, RBTFile);
    return 0;
}

int CC_RBTEeprom(int, int, int event, void*, int, int) {
    if (event == EVENT_VAL_CHANGED) OnRadio(RBTEeprom, EEPROM, RBTRam, RBTFile);
    return 0;
}

int CC_RBTFile(int, int, int event, void*, int, int) {
    if (event == EVENT_VAL_CHANGED) OnRadio(RBTFile, DATFILE, RBTEeprom, RBTRam);
    return 0;
}

int CC_BIN_Sw_ParaSelect(int panel, int control, int event, void*, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    int hidden = 0;
    GetCtrlVal(panel, control, &hidden);
    if (hidden == 1) {
        HidePanel(panels.panelPopUp);
    } else {
        DisplayPanel(panels.panelPopUp);
    }
    return 0;
}

namespace {

void SendToSensor() {
    GetPanelValues();
    CopyVarsToPP();
    std::uint16_t sent[PNUM];
    std::copy(line.pp, line.pp + PNUM, sent);
    const WriteCheck check = WriteParameters(line.target, sent);
    if (!check.replied) {
        SetStatus("Timeout-RS-232...");
    } else if (check.differing.empty()) {
        SetStatus("Parameters sent and verified!");
    } else {
        SetStatus(ReadBackDiffersText(check.differing).c_str());
    }
    ShowStatus(line.szStatus);
}

void GetParameters() {
    if (line.target == DATFILE) {
        ReadParaFromFile();
    } else {
        line.order = ReadCommand(line.target);
    }
    PushGET(line.target);
}

}  // namespace

std::string ReadBackDiffersText(const std::vector<int>& words) {
    const std::string head = "Parameters sent - read-back differs: ";
    const std::size_t room = kStatusSize - 1 - head.size() - 1;  // and the closing "!"
    const int n = static_cast<int>(words.size());
    // As many names as fit, the rest counted.
    for (int shown = n; shown >= 0; --shown) {
        std::string names;
        for (int i = 0; i < shown; ++i) {
            if (i > 0) names += ", ";
            names += ParameterName(words[i]);
        }
        if (shown < n) names += (shown > 0 ? ", +" : "+") + std::to_string(n - shown) + " more";
        if (names.size() <= room) return head + names + "!";
    }
    return head + std::to_string(n) + " words!";
}

int CC_BTNSend(int, int, int event, void*, int, int) {
    if (event != EVENT_LEFT_CLICK) return 0;
    ShowStatus("Transmit...");
    if (line.target == DATFILE) {
        if (SelectParameterFileToSave()) SendParaToFile();
        return 0;
    }
    WhenLineFree("send", ActionKind::kAction, SendToSensor);
    return 0;
}

int CC_BTNGet(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) WhenLineFree("get", ActionKind::kAction, GetParameters);
    return 0;
}
