// The data a sensor and the program share: constants, the parameter set, the measurement record
// and the arrays the graphs draw from, with the copies between them and the packet `pp`.
// Types only: each sensor's owner holds its own.
#pragma once

#include <cstdint>

#include "protocol.h"

constexpr int MAXPOINT = protocol::kSamples;  // 128
constexpr int PNUM = protocol::kWords;        // 16
constexpr int MASTER = protocol::kBlockA;     // block selector: video samples of channel A
constexpr int SLAVE = protocol::kBlockB;      // block selector: video samples of channel B
constexpr int MVBUF = protocol::kBlockRing;   // block selector: measured-value buffer
constexpr int RAM = 1;
constexpr int EEPROM = 2;
constexpr int DATFILE = 3;
constexpr double TIMEOUT = 1.5;
constexpr int eventMask = 0x8006;
constexpr int kFrameBytes = static_cast<int>(protocol::kFrameBytes);  // 36
constexpr int kHistory = 500;    // strip-chart history: 100 samples of 5 traces
constexpr int kStatusSize = 72;  // 71 characters and the terminating zero

// The sixteen words of the parameter set, in packet order.
struct ParameterSet {
    std::uint16_t powerA = 0, powerB = 0, vThdA = 0, vThdB = 0, polarity = 0, eModeA = 0,
                  average = 0, tValA = 0, tValB = 0, tTol = 0, ePoti = 0, anaMode = 0, sTime = 0,
                  para13 = 0, para14 = 0, para15 = 0;
};

// The set the program starts with, before the panel's values are read into it.
ParameterSet StartParameters();

// The measurement record's own words; words 3, 4 and 5 (tTol, tValA, tValB) land in the
// parameter set.
struct MeasurementRecord {
    std::uint16_t Avalue = 0, Bvalue = 0, Mvalue = 0, tVal = 0, edcntA = 0, edcntB = 0, leftA = 0,
                  rightA = 0, rightB = 0, leftB = 0, anaMax = 0, anaMin = 0, sIndex = 0;
};

// What the graphs draw from: the acquired blocks, the data-buffer lines, the strip-chart
// histories and the last cursor positions.
struct PlotArrays {
    std::uint16_t xArray[MAXPOINT] = {};
    std::uint16_t dxArray[MAXPOINT] = {};
    std::uint16_t thdArrayA[MAXPOINT] = {};
    std::uint16_t thdArrayB[MAXPOINT] = {};
    std::uint16_t adcbufA[MAXPOINT] = {};
    std::uint16_t adcbufB[MAXPOINT] = {};
    double databuf[MAXPOINT] = {};
    double newbuf[MAXPOINT] = {};
    double teachArray[MAXPOINT] = {};
    double tolArrayHI[MAXPOINT] = {};
    double tolArrayLO[MAXPOINT] = {};
    std::uint16_t dummybuf[MAXPOINT] = {};
    double arrayNORM_A[kHistory] = {};
    double arrayNORM_B[kHistory] = {};
    std::uint16_t curposA = 0;
    std::uint16_t curposB = 0;
};

// The words' names in packet order, as the code calls them: powerA ... para15 for the
// parameter set, Avalue ... sIndex for the measurement record.
inline constexpr const char* kParameterNames[PNUM] = {
    "powerA", "powerB", "vThdA", "vThdB",   "polarity", "eModeA", "average", "tValA",
    "tValB",  "tTol",   "ePoti", "anaMode", "sTime",    "para13", "para14",  "para15"};
inline constexpr const auto& kRecordNames = protocol::kRecordWordNames;

// Word k of a parameter set (packet order).
std::uint16_t& ParameterWord(ParameterSet& set, int k);
// A parameter set as its 16 packet words, and back.
void ParameterWords(const ParameterSet& set, std::uint16_t* words);
void SetParameterWords(ParameterSet& set, const std::uint16_t* words);

// Parameter variables to `pp`, `pp` to parameter variables, `pp` to the measurement record
// (whose words 3 to 5 are the parameter set's tolerance and set-points).
void CopyVarsToPP(const ParameterSet& params, std::uint16_t* pp);
void CopyPPtoVars(const std::uint16_t* pp, ParameterSet& params);
void CopyPPtoRAWVars(const std::uint16_t* pp, MeasurementRecord& meas, ParameterSet& params);

// Copies `text` into a status buffer of kStatusSize, cut to 71 characters (not inside a
// character of more than one byte).
void CopyStatusText(char* status, const char* text);
