// Panel and control constants of the panel file QtorKMBscope10.uir.
// The panel file carries the same numbers on its panels and controls.
#pragma once

// Panels.
constexpr int PANEL = 1;  // main panel
constexpr int POPUP = 2;  // parameter popup

// Main panel controls. The mode lock set is Send (3), Data buffer (4), Get (12), Video (13)
// and Run (15): Send stays usable in run mode, so that a parameter change reaches the next
// record; Run is usable again as soon as a mode ends; Stop undims them all.
constexpr int DropDCom = 2;
constexpr int BTNSend = 3;  // mode lock set: dimmed in video mode only
constexpr int BTNData = 4;  // mode lock set
constexpr int BTNStop = 5;
constexpr int ButtonTeach = 6;
constexpr int ButtonReset = 7;
constexpr int BIN_Sw_ParaSelect = 8;
constexpr int RBTFile = 9;
constexpr int RBTEeprom = 10;
constexpr int RBTRam = 11;
constexpr int BTNGet = 12;    // mode lock set
constexpr int BTNVideo = 13;  // mode lock set
constexpr int BTNRun = 15;    // mode lock set: usable again as soon as a mode ends
constexpr int NUM_Mvalue = 17;
constexpr int NUM_Bvalue = 18;
constexpr int NUM_Avalue = 19;
constexpr int NEDITTolLeff = 23;
constexpr int NEDITeachB = 24;
constexpr int NEDITeachA = 25;
constexpr int TEXT_Status = 26;
constexpr int GRAPH_Buffer = 27;
constexpr int GRAPH_CurveB = 28;
constexpr int GRAPH_CurveA = 29;
constexpr int GRAPH_VideoB = 30;
constexpr int GRAPH_VideoA = 31;
constexpr int STRIP_RawB = 32;
constexpr int STRIP_RawA = 33;
constexpr int TOGBTN_Zoom = 34;
constexpr int NUM_leftA = 35;
constexpr int NUM_rightA = 36;
constexpr int NUM_rightB = 37;
constexpr int NUM_leftB = 38;

// Parameter popup controls.
constexpr int NEDITVideoThdB = 5;
constexpr int NEDITVideoThdA = 7;
constexpr int NEDITPowerA = 8;
constexpr int NEDITSTime = 13;
constexpr int NEDITAverage = 15;
constexpr int DropPolarity = 17;
constexpr int DropAnaMode = 18;
constexpr int DropEPoti = 19;
constexpr int DropEvalMode = 20;
constexpr int CHECKFile = 21;

// The file name the program loads both panels from.
constexpr const char* kPanelFile = "QtorKMBscope10.uir";
