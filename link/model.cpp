#include "model.h"

#include <cstring>

ParameterSet StartParameters() {
    return ParameterSet{.powerA = 200,
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

}  // namespace

std::uint16_t& ParameterWord(ParameterSet& set, int k) { return set.*kParameterWords[k]; }

void ParameterWords(const ParameterSet& set, std::uint16_t* words) {
    for (int k = 0; k < PNUM; ++k) words[k] = set.*kParameterWords[k];
}

void SetParameterWords(ParameterSet& set, const std::uint16_t* words) {
    for (int k = 0; k < PNUM; ++k) set.*kParameterWords[k] = words[k];
}

void CopyVarsToPP(const ParameterSet& params, std::uint16_t* pp) { ParameterWords(params, pp); }

void CopyPPtoVars(const std::uint16_t* pp, ParameterSet& params) { SetParameterWords(params, pp); }

void CopyPPtoRAWVars(const std::uint16_t* pp, MeasurementRecord& meas, ParameterSet& params) {
    // Word k of the measurement record; words 3 to 5 are the parameter set's tolerance and
    // set-points.
    std::uint16_t* const words[PNUM] = {&meas.Avalue,  &meas.Bvalue,  &meas.Mvalue, &params.tTol,
                                        &params.tValA, &params.tValB, &meas.tVal,   &meas.edcntA,
                                        &meas.edcntB,  &meas.leftA,   &meas.rightA, &meas.rightB,
                                        &meas.leftB,   &meas.anaMax,  &meas.anaMin, &meas.sIndex};
    for (int k = 0; k < PNUM; ++k) *words[k] = pp[k];
}

void CopyStatusText(char* status, const char* text) {
    std::size_t length = std::strlen(text);
    if (length > kStatusSize - 1) {
        length = kStatusSize - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    std::memmove(status, text, length);
    status[length] = '\0';
}
