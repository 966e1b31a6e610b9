#include "transfer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "mapping.h"
#include "toolkit.h"

int OnTargetRadio(const PanelHandles& panels, int own, int ownTarget, int other1, int other2) {
    const int p = panels.panelHandle;
    int value = 0;
    GetCtrlVal(p, own, &value);
    if (value == 1) {
        SetCtrlVal(p, own, 1);
        SetCtrlVal(p, other1, 0);
        SetCtrlVal(p, other2, 0);
        return ownTarget;
    }
    SetCtrlVal(p, RBTRam, 1);
    return RAM;
}

int SelectRamTarget(const PanelHandles& panels) {
    const int p = panels.panelHandle;
    SetCtrlVal(p, RBTRam, 1);
    SetCtrlVal(p, RBTEeprom, 0);
    SetCtrlVal(p, RBTFile, 0);
    return RAM;
}

Task<> SendToSensor(SensorLink& link, const PanelHandles& panels, ParameterSet& params, int target,
                    KeepSent keep) {
    GetPanelValues(panels, params);
    CopyVarsToPP(params, link.pp);
    std::uint16_t sent[PNUM];
    std::copy(link.pp, link.pp + PNUM, sent);
    const WriteCheck check = co_await WriteParameters(link, target, sent);
    const std::string kept = keep ? keep(sent, check) : std::string();
    if (!kept.empty()) {
        link.SetStatus(kept.c_str());
    } else if (!check.replied) {
        link.SetStatus("Timeout-RS-232...");
    } else if (check.differing.empty()) {
        link.SetStatus("Parameters sent and verified!");
    } else {
        link.SetStatus(ReadBackDiffersText(check.differing).c_str());
    }
    link.ShowStatus(link.szStatus);
}

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
