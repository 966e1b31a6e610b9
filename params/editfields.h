// Edit fields that show their value on the graphs at once, without changing the parameter set.
#pragma once

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
