// The parameter controls' callbacks: target selection, send and get, the popup switch, the
// record-to-file check box and the edit fields that show their value at once.
#pragma once

int CC_RBTRam(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CC_RBTEeprom(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_RBTFile(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_BIN_Sw_ParaSelect(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
int CC_BTNSend(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_BTNGet(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CC_CHECKFile(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_NEDITVideoThdA(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int CC_NEDITVideoThdB(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int CC_NEDITeachA(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int CC_NEDITeachB(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int CC_NEDITTolLeff(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CC_DropEvalMode(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CC_DropAnaMode(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
