// Panel and control constants of the panel file QtorKMBscope10.uir: each control written once,
// with its panel, name and constant. The constants, the start-up's completeness check and the
// tests all come from this table; the panel file carries the same numbers.
#pragma once

#include "panels.h"

// Panels.
constexpr int PANEL = 1;  // main panel
constexpr int POPUP = 2;  // parameter popup

// The mode lock set is Send (3), Data buffer (4), Get (12), Video (13) and Run (15): Send
// stays usable in run mode, so that a parameter change reaches the next record; Run is usable
// again as soon as a mode ends; Stop undims them all.
// clang-format off
#define QTOR_CONTROLS(X)           \
    X(PANEL, DropDCom, 2)          \
    X(PANEL, BTNSend, 3)           \
    X(PANEL, BTNData, 4)           \
    X(PANEL, BTNStop, 5)           \
    X(PANEL, ButtonTeach, 6)       \
    X(PANEL, ButtonReset, 7)       \
    X(PANEL, BIN_Sw_ParaSelect, 8) \
    X(PANEL, RBTFile, 9)           \
    X(PANEL, RBTEeprom, 10)        \
    X(PANEL, RBTRam, 11)           \
    X(PANEL, BTNGet, 12)           \
    X(PANEL, BTNVideo, 13)         \
    X(PANEL, BTNRun, 15)           \
    X(PANEL, NUM_Mvalue, 17)       \
    X(PANEL, NUM_Bvalue, 18)       \
    X(PANEL, NUM_Avalue, 19)       \
    X(PANEL, NEDITTolLeff, 23)     \
    X(PANEL, NEDITeachB, 24)       \
    X(PANEL, NEDITeachA, 25)       \
    X(PANEL, TEXT_Status, 26)      \
    X(PANEL, GRAPH_Buffer, 27)     \
    X(PANEL, GRAPH_CurveB, 28)     \
    X(PANEL, GRAPH_CurveA, 29)     \
    X(PANEL, GRAPH_VideoB, 30)     \
    X(PANEL, GRAPH_VideoA, 31)     \
    X(PANEL, STRIP_RawB, 32)       \
    X(PANEL, STRIP_RawA, 33)       \
    X(PANEL, TOGBTN_Zoom, 34)      \
    X(PANEL, NUM_leftA, 35)        \
    X(PANEL, NUM_rightA, 36)       \
    X(PANEL, NUM_rightB, 37)       \
    X(PANEL, NUM_leftB, 38)        \
    X(PANEL, TOGBTN_Pause, 39)     \
    X(PANEL, TOGBTN_Record, 40)    \
    X(PANEL, TEXT_Link, 41)        \
    X(PANEL, TOGBTN_Trace, 42)     \
    X(PANEL, BTNStateA, 43)        \
    X(PANEL, BTNStateB, 44)        \
    X(PANEL, TEXT_Stats, 45)       \
    X(PANEL, TEXT_Events, 46)      \
    X(PANEL, TOGBTN_Play, 47)      \
    X(PANEL, DropSpeed, 48)        \
    X(PANEL, SLIDE_Position, 49)   \
    X(PANEL, BTNOpenRecording, 50) \
    X(PANEL, BTNAddSensor, 51)     \
    X(PANEL, BTNRemoveSensor, 52)  \
    X(PANEL, BTNUnlock, 53)        \
    X(PANEL, BTNLock, 54)          \
    X(PANEL, TEXT_Level, 55)       \
    X(PANEL, BTNReport, 60)        \
    X(PANEL, TEXT_Mqtt, 61)        \
    X(PANEL, BTNPlant, 62)         \
    X(POPUP, NEDITVideoThdB, 5)    \
    X(POPUP, NEDITVideoThdA, 7)    \
    X(POPUP, NEDITPowerA, 8)       \
    X(POPUP, NEDITSTime, 13)       \
    X(POPUP, NEDITAverage, 15)     \
    X(POPUP, DropPolarity, 17)     \
    X(POPUP, DropAnaMode, 18)      \
    X(POPUP, DropEPoti, 19)        \
    X(POPUP, DropEvalMode, 20)     \
    X(POPUP, CHECKFile, 21)
// clang-format on

#define QTOR_CONSTANT(panel, name, constant) constexpr int name = constant;
QTOR_CONTROLS(QTOR_CONSTANT)
#undef QTOR_CONSTANT

struct ControlEntry {
    int panel;  // PANEL or POPUP
    int constant;
    const char* name;
};

constexpr ControlEntry kControlTable[] = {
#define QTOR_ENTRY(panel, name, constant) {panel, constant, #name},
    QTOR_CONTROLS(QTOR_ENTRY)
#undef QTOR_ENTRY
};

// The file name the program loads both panels from.
constexpr const char* kPanelFile = "QtorKMBscope10.uir";
