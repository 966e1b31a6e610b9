#include "transfer.h"

#include "QtorKMBscope10.h"
#include "com232.h"
#include "commands.h"
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

int CC_BTNSend(int, int, int event, void*, int, int) {
    if (event != EVENT_LEFT_CLICK) return 0;
    ShowStatus("Transmit...");
    if (line.target == DATFILE) {
        if (SelectParameterFileToSave()) SendParaToFile();
        return 0;
    }
    line.sync = 85;
    line.order = line.target == EEPROM ? 3 : 1;
    GetPanelValues();
    CopyVarsToPP();
    FillTxBuf(static_cast<std::uint16_t>(line.order & 0xFFFF), line.pp);
    if (WriteFrame(line.com) == kFrameBytes) ShowStatus("Line Ok!");
    return 0;
}

int CC_BTNGet(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (line.target == DATFILE) {
        ReadParaFromFile();
    } else {
        line.order = line.target == EEPROM ? 4 : 2;
    }
    PushGET(line.target);
    return 0;
}
