#include "transfer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "QtorKMBscope10.h"
#include "com232.h"
#include "commands.h"
#include "exchange.h"
#include "mapping.h"
#include "model.h"
#include "paramfiles.h"
#include "timer.h"
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

constexpr double kConfirmPause = 0.1;  // an EEPROM may need this long to store a set

// Reads the parameter set of `target` back into `got`; false when no reply came.
bool ReadBack(int target, const std::uint16_t* sent, std::uint16_t* got) {
    Exchange read(line.com, ReadCommand(target), sent, Discard::kInThenOut);
    if (read.written() == kFrameBytes) ShowStatus("Waiting for parameter-frame ...");
    if (read.AwaitFrame(Tie::kReplyWins) != WaitResult::kReply) return false;
    std::copy(line.pp, line.pp + PNUM, got);
    return true;
}

std::vector<int> Differing(const std::uint16_t* sent, const std::uint16_t* got) {
    std::vector<int> words;
    for (int k = 0; k < PNUM; ++k)
        if (sent[k] != got[k]) words.push_back(k);
    return words;
}

// A write is only believed once the sensor gives the same set back.
void VerifySent(int target, const std::uint16_t* sent) {
    std::uint16_t got[PNUM] = {};
    bool replied = ReadBack(target, sent, got);
    if (replied && !Differing(sent, got).empty()) {
        Delay(kConfirmPause);
        replied = ReadBack(target, sent, got);
    }
    if (!replied) {
        SetStatus("Timeout-RS-232...");
    } else if (const std::vector<int> words = Differing(sent, got); words.empty()) {
        SetStatus("Parameters sent and verified!");
    } else {
        SetStatus(ReadBackDiffersText(words).c_str());
    }
    ShowStatus(line.szStatus);
}

void SendToSensor() {
    const int target = line.target;
    line.sync = 85;
    const int order = WriteCommand(target);
    GetPanelValues();
    CopyVarsToPP();
    std::uint16_t sent[PNUM];
    std::copy(line.pp, line.pp + PNUM, sent);
    {
        Exchange write(line.com, order & 0xFFFF, line.pp, Discard::kNone);
        if (write.written() == kFrameBytes) ShowStatus("Line Ok!");
    }
    VerifySent(target, sent);
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
