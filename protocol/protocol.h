// The sensor's line protocol, shared by the program and the simulated sensor: frames of 36
// bytes, big-endian, with a sync word, a command number and 16 payload words; replies of 72
// (firmware text) and 128 bytes (a 64-word data block) carry plain words. Header-only, no Qt.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace protocol {

constexpr int kWords = 16;
constexpr std::size_t kFrameBytes = 4 + 2 * kWords;  // 36
constexpr std::size_t kFirmwareBytes = 72;           // 36 words, one character each
constexpr std::size_t kBlockBytes = 128;             // 64 words
constexpr int kBlockWords = 64;
constexpr std::uint16_t kCommandSync = 0x0055;
constexpr std::uint16_t kReplySync = 0x00AA;
constexpr int kPixels = 1024;  // the CCD line
constexpr int kSamples = 128;  // video samples and measured-value ring entries

using Words = std::array<std::uint16_t, kWords>;
using Frame = std::array<std::uint8_t, kFrameBytes>;

enum Command : int {
    kWriteRam = 1,
    kReadRam = 2,
    kWriteEeprom = 3,
    kReadEeprom = 4,
    kEcho = 5,
    kTeach = 6,
    kFirmware = 7,
    kMeasure = 8,
    kDataBlock = 9,
    kResetMaxMin = 11,
};

// What a command is called in traces and messages; nullptr for a number the sensor lacks.
constexpr const char* CommandName(int command) {
    switch (command) {
        case kWriteRam: return "write RAM";
        case kReadRam: return "read RAM";
        case kWriteEeprom: return "write EEPROM";
        case kReadEeprom: return "read EEPROM";
        case kEcho: return "echo";
        case kTeach: return "teach";
        case kFirmware: return "firmware";
        case kMeasure: return "measure";
        case kDataBlock: return "data block";
        case kResetMaxMin: return "reset max/min";
        default: return nullptr;
    }
}

// Word 1 of a data-block request: which 128-word buffer the block comes from.
enum BlockSelector : int {
    kBlockB = 0,     // video samples of channel B
    kBlockA = 1,     // video samples of channel A
    kBlockRing = 2,  // the measured-value ring; its word 0 is the ring's position
};

// Words of the parameter set.
enum ParamWord : int {
    kPowerA = 0,
    kPowerB = 1,
    kVThdA = 2,
    kVThdB = 3,
    kPolarity = 4,
    kEvalMode = 5,
    kAverage = 6,
    kTValA = 7,
    kTValB = 8,
    kTTol = 9,
    kEPoti = 10,
    kAnaMode = 11,
    kSTime = 12,
    kPara13 = 13,
    kPara14 = 14,
    kPara15 = 15,
};

// Words of a measurement record. Words 3 to 5 carry the tolerance and set-points in force.
enum RecordWord : int {
    kAvalue = 0,
    kBvalue = 1,
    kMvalue = 2,
    kRecTTol = 3,
    kRecTValA = 4,
    kRecTValB = 5,
    kTVal = 6,
    kEdcntA = 7,
    kEdcntB = 8,
    kLeftA = 9,
    kRightA = 10,
    kRightB = 11,
    kLeftB = 12,
    kAnaMax = 13,
    kAnaMin = 14,
    kSIndex = 15,
};

// The record words' names, in packet order: the column names of recordings.
inline constexpr const char* kRecordWordNames[kWords] = {
    "Avalue", "Bvalue", "Mvalue", "tTol",   "tValA", "tValB",  "tVal",   "edcntA",
    "edcntB", "leftA",  "rightA", "rightB", "leftB", "anaMax", "anaMin", "sIndex"};

inline void PutWord(std::uint8_t* at, std::uint16_t w) {
    at[0] = static_cast<std::uint8_t>(w >> 8);
    at[1] = static_cast<std::uint8_t>(w & 0xFF);
}

inline std::uint16_t GetWord(const std::uint8_t* at) {
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

// The 36-byte frame: sync word, command number, the 16 words.
inline void EncodeFrame(std::uint16_t sync, std::uint16_t command, const std::uint16_t* words,
                        std::uint8_t* frame) {
    PutWord(frame, sync);
    PutWord(frame + 2, command);
    for (int k = 0; k < kWords; ++k) PutWord(frame + 4 + 2 * k, words[k]);
}

inline Frame EncodeFrame(std::uint16_t sync, std::uint16_t command, const Words& words) {
    Frame f{};
    EncodeFrame(sync, command, words.data(), f.data());
    return f;
}

// The 16 words of a 36-byte frame (its header is not examined).
inline void DecodePayload(const std::uint8_t* frame, std::uint16_t* words, int count = kWords) {
    for (int k = 0; k < count && k < kWords; ++k) words[k] = GetWord(frame + 4 + 2 * k);
}

inline Words DecodePayload(const std::uint8_t* frame) {
    Words w{};
    DecodePayload(frame, w.data());
    return w;
}

}  // namespace protocol
