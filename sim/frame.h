// The frame layout shared by the sensor and the host: 36 bytes, big-endian, a sync word, a
// command number and 16 payload words. Replies of 72 and 128 bytes carry plain words.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sim {

constexpr int kWords = 16;
constexpr std::size_t kFrameBytes = 4 + 2 * kWords;  // 36
constexpr std::size_t kFirmwareBytes = 72;           // 36 words, one character each
constexpr std::size_t kBlockBytes = 128;             // 64 words
constexpr std::uint16_t kCommandSync = 0x0055;
constexpr std::uint16_t kReplySync = 0x00AA;
constexpr int kPixels = 1024;
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

// Parameter set words the sensor itself uses.
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
};

// Measurement record words.
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

inline void PutWord(std::uint8_t* at, std::uint16_t w) {
    at[0] = static_cast<std::uint8_t>(w >> 8);
    at[1] = static_cast<std::uint8_t>(w & 0xFF);
}

inline std::uint16_t GetWord(const std::uint8_t* at) {
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

inline Frame EncodeFrame(std::uint16_t sync, std::uint16_t command, const Words& words) {
    Frame f{};
    PutWord(&f[0], sync);
    PutWord(&f[2], command);
    for (int k = 0; k < kWords; ++k) PutWord(&f[4 + 2 * k], words[k]);
    return f;
}

inline Words DecodePayload(const std::uint8_t* frame) {
    Words w{};
    for (int k = 0; k < kWords; ++k) w[k] = GetWord(frame + 4 + 2 * k);
    return w;
}

}  // namespace sim
