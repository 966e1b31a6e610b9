#include "model.h"

#include <cstring>

ParameterSet params;
MeasurementRecord meas;
LinkState line;
PlotArrays plots;

const char* const kParameterNames[PNUM] = {
    "powerA", "powerB", "vThdA", "vThdB",   "polarity", "eModeA", "average", "tValA",
    "tValB",  "tTol",   "ePoti", "anaMode", "sTime",    "para13", "para14",  "para15"};

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

// The parameter set's words in packet order.
constexpr std::uint16_t ParameterSet::*kParameterWords[PNUM] = {
    &ParameterSet::powerA,   &ParameterSet::powerB, &ParameterSet::vThdA,   &ParameterSet::vThdB,
    &ParameterSet::polarity, &ParameterSet::eModeA, &ParameterSet::average, &ParameterSet::tValA,
    &ParameterSet::tValB,    &ParameterSet::tTol,   &ParameterSet::ePoti,   &ParameterSet::anaMode,
    &ParameterSet::sTime,    &ParameterSet::para13, &ParameterSet::para14,  &ParameterSet::para15};

// Word k of the measurement record; words 3 to 5 are the parameter set's tolerance and set-points.
std::uint16_t* RecordWord(int k) {
    std::uint16_t* const words[PNUM] = {&meas.Avalue,  &meas.Bvalue,  &meas.Mvalue, &params.tTol,
                                        &params.tValA, &params.tValB, &meas.tVal,   &meas.edcntA,
                                        &meas.edcntB,  &meas.leftA,   &meas.rightA, &meas.rightB,
                                        &meas.leftB,   &meas.anaMax,  &meas.anaMin, &meas.sIndex};
    return words[k];
}

}  // namespace

std::uint16_t& ParameterWord(ParameterSet& set, int k) { return set.*kParameterWords[k]; }

void ParameterWords(const ParameterSet& set, std::uint16_t* words) {
    for (int k = 0; k < PNUM; ++k) words[k] = set.*kParameterWords[k];
}

void SetParameterWords(ParameterSet& set, const std::uint16_t* words) {
    for (int k = 0; k < PNUM; ++k) set.*kParameterWords[k] = words[k];
}

void CopyVarsToPP() { ParameterWords(params, line.pp); }

void CopyPPtoVars() { SetParameterWords(params, line.pp); }

void CopyPPtoRAWVars() {
    for (int k = 0; k < PNUM; ++k) *RecordWord(k) = line.pp[k];
}

void SetStatus(const char* text) {
    std::size_t length = std::strlen(text);
    if (length > kStatusSize - 1) {
        length = kStatusSize - 1;
        // A text cut to fit is not cut inside a character of more than one byte.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(line.szStatus, text, length);
    line.szStatus[length] = '\0';
}
