// The program-wide state shared with the sensor: constants, the packet `pp`, the parameter set,
// the measurement record, the link state and the plot arrays. One instance of each structure
// lives from start to exit; ResetModel() gives tests a fresh start.
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

// The measurement record's own words; words 3, 4 and 5 (tTol, tValA, tValB) land in the
// parameter set.
struct MeasurementRecord {
    std::uint16_t Avalue = 0, Bvalue = 0, Mvalue = 0, tVal = 0, edcntA = 0, edcntB = 0, leftA = 0,
                  rightA = 0, rightB = 0, leftB = 0, anaMax = 0, anaMin = 0, sIndex = 0;
};

struct LinkState {
    int com = 0;
    int sync = 0;
    int order = 0;
    int target = 0;
    int rx_flag = 0;
    int graphrefresh = 0;
    int stop_flag = 0;
    int nBytesW = 0;
    int nBytesR = 0;
    double tstart = 0.0;
    double tdiff = 0.0;
    std::uint16_t pp[PNUM] = {};
    std::uint8_t szWriteBuf[1024] = {};
    std::uint8_t szReadBuf[1024] = {};
    char szStatus[kStatusSize] = {};
    char szVersion[kStatusSize] = {};
    std::uint16_t ccdmaxpixel = 0;
};

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

extern ParameterSet params;
extern MeasurementRecord meas;
extern LinkState line;
extern PlotArrays plots;

// The words' names in packet order, as the code calls them: powerA ... para15 for the
// parameter set, Avalue ... sIndex for the measurement record.
extern const char* const kParameterNames[PNUM];
inline constexpr const auto& kRecordNames = protocol::kRecordWordNames;

// Back to the values the program starts with (before InitVars).
void ResetModel();

// The parameter set's start values, as the start-up assigns them.
void AssignParameterStartValues();

// Word k of a parameter set (packet order).
std::uint16_t& ParameterWord(ParameterSet& set, int k);
// A parameter set as its 16 packet words, and back.
void ParameterWords(const ParameterSet& set, std::uint16_t* words);
void SetParameterWords(ParameterSet& set, const std::uint16_t* words);

// Parameter variables to `pp`, `pp` to parameter variables, `pp` to the measurement record.
void CopyVarsToPP();
void CopyPPtoVars();
void CopyPPtoRAWVars();

// Copies `text` into szStatus, cut to 71 characters.
void SetStatus(const char* text);
