#include "model.h"

#include <cstring>

ParameterSet params;
MeasurementRecord meas;
PanelHandles panels;
LinkState line;
PlotArrays plots;

void ResetModel() {
    params = ParameterSet{};
    meas = MeasurementRecord{};
    line = LinkState{};
    plots = PlotArrays{};
}

void AssignParameterStartValues() {
    params = ParameterSet{.powerA = 200,
                          .powerB = 200,
                          .vThdA = 512,
                          .vThdB = 512,
                          .polarity = 1,
                          .eModeA = 1,
                          .average = 1,
                          .tValA = 512,
                          .tValB = 512,
                          .tTol = 100,
                          .ePoti = 1,
                          .anaMode = 0,
                          .sTime = 1000,
                          .para13 = 0,
                          .para14 = 0,
                          .para15 = 0};
}

namespace {

// Word k of the parameter packet.
std::uint16_t* ParameterWord(int k) {
    std::uint16_t* const words[PNUM] = {
        &params.powerA,   &params.powerB, &params.vThdA,   &params.vThdB,
        &params.polarity, &params.eModeA, &params.average, &params.tValA,
        &params.tValB,    &params.tTol,   &params.ePoti,   &params.anaMode,
        &params.sTime,    &params.para13, &params.para14,  &params.para15};
    return words[k];
}

// Word k of the measurement record; words 3 to 5 are the parameter set's tolerance and set-points.
std::uint16_t* RecordWord(int k) {
    std::uint16_t* const words[PNUM] = {&meas.Avalue,  &meas.Bvalue,  &meas.Mvalue, &params.tTol,
                                        &params.tValA, &params.tValB, &meas.tVal,   &meas.edcntA,
                                        &meas.edcntB,  &meas.leftA,   &meas.rightA, &meas.rightB,
                                        &meas.leftB,   &meas.anaMax,  &meas.anaMin, &meas.sIndex};
    return words[k];
}

}  // namespace

void CopyVarsToPP() {
    for (int k = 0; k < PNUM; ++k) line.pp[k] = *ParameterWord(k);
}

void CopyPPtoVars() {
    for (int k = 0; k < PNUM; ++k) *ParameterWord(k) = line.pp[k];
}

void CopyPPtoRAWVars() {
    for (int k = 0; k < PNUM; ++k) *RecordWord(k) = line.pp[k];
}

void SetStatus(const char* text) {
    std::strncpy(line.szStatus, text, kStatusSize - 1);
    line.szStatus[kStatusSize - 1] = '\0';
}
