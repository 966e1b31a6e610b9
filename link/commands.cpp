#include "commands.h"

#include <algorithm>

#include "com232.h"
#include "exchange.h"
#include "link_state.h"
#include "model.h"
#include "rs232.h"
#include "timer.h"

namespace {

ParameterView parameterView;
void (*statusView)(const char*) = nullptr;

constexpr int kFirmwareBytes = 72;
constexpr int kBlockBytes = 128;
constexpr int kReadBufSize = sizeof(line.szReadBuf);

}  // namespace

void SetParameterView(ParameterView view) { parameterView = view; }

void SetStatusView(void (*show)(const char*)) { statusView = show; }

void ShowStatus(const char* text) {
    if (statusView) statusView(text);
}

int ReadCommand(int target) {
    return target == EEPROM ? protocol::kReadEeprom : protocol::kReadRam;
}

int WriteCommand(int target) {
    return target == EEPROM ? protocol::kWriteEeprom : protocol::kWriteRam;
}

const char* OpenErrorText(int code) {
    switch (code) {
        case -1: return "Unknown system error";
        case -2: return "Invalid port number";
        case -3: return "Port is not open";
        case -4: return "Unknown I/0 error";
        case -6: return "No serial port found";
        case -7: return "Cannot open port";
        case -13: return "Invalid parameter";
        case -99: return "Timeout";
        default: return "RS-232 error!";
    }
}

int OpenLine(int port) {
    const int opened = OpenComConfig(port, "", 19200, NOPARITY, 8, 1, 4096, 4096);
    if (opened < 0) return opened;
    SetComTime(port, 2.0);
    FlushQueues(port);
    SetCTSMode(port, LWRS_HWHANDSHAKE_OFF);
    InstallRxNotification(port);
    return opened;
}

namespace {

ConnectResult ConnectSteps(int port) {
    const int opened = OpenLine(port);
    if (opened < 0) {
        SetStatus(OpenErrorText(opened));
        return ConnectResult::kCannotOpen;
    }
    if (CheckComLine(port) != 1) return ConnectResult::kNoEcho;
    // The radio buttons follow, or a send meant for the EEPROM or a file would write the
    // sensor's RAM.
    line.target = RAM;
    if (parameterView.selectRamTarget) parameterView.selectRamTarget();
    const bool parameters = ReadParameters(RAM);
    ShowParameterRead();
    // Only a reply of exactly the firmware's length is its text.
    if (GetFirmwareInfo() != kFirmwareBytes) {
        SetStatus("Error reading firmware-info!");
        return ConnectResult::kNoFirmware;
    }
    return parameters ? ConnectResult::kConnected : ConnectResult::kNoParameters;
}

}  // namespace

ConnectResult Connect(int port) {
    const ConnectResult r = ConnectSteps(port);
    switch (r) {
        case ConnectResult::kConnected:
            ReportLink(LinkHealth::kConnected, port, line.szVersion);
            break;
        case ConnectResult::kCannotOpen:
            ReportLink(LinkHealth::kCannotOpen, port, ComOpenFailureReason(port));
            break;
        default:
            ReportLink(ComDeviceLost(port) ? LinkHealth::kDisconnected : LinkHealth::kNoReply, port,
                       line.szStatus);
            break;
    }
    return r;
}

void InitRS232(int port) {
    Connect(port);
    ShowStatus(line.szStatus);
}

int CheckComLine(int port) {
    int result = 0;
    CopyVarsToPP();
    WaitResult wait = WaitResult::kTimeOut;
    {
        Exchange echo(port, protocol::kEcho, line.pp, Discard::kOutThenIn);
        wait = echo.AwaitFrame(Tie::kReplyWins);
    }
    if (wait == WaitResult::kReply) {
        line.pp[0] = static_cast<std::uint16_t>(line.szReadBuf[0] * 256 + line.szReadBuf[1]);
        if (line.pp[0] == 0x00AA) {
            SetStatus("Echo Check - Line Ok!");
            result = 1;
        } else {
            SetStatus("read error - not sync byte 0xAA!");
        }
    } else {
        SetStatus("Timeout-RS-232...");
    }
    ShowStatus(line.szStatus);
    return result;
}

int GetFirmwareInfo() {
    RemoveRxNotification(line.com);
    int count = 0;
    bool timedOut = false;
    {
        Exchange request(line.com, protocol::kFirmware, line.pp, Discard::kInThenOut);
        ShowStatus("Waiting for firmware info ...");
        // The reply is polled without pumping events: the panel does not respond meanwhile.
        count = request.AwaitBytes(kFirmwareBytes, false, &timedOut);
    }
    if (timedOut) SetStatus("Timeout - reading firmware info!");
    line.szVersion[0] = '\0';
    const int toRead = std::clamp(count, 0, kReadBufSize);
    line.nBytesR = toRead > 0 ? ComRd(line.com, line.szReadBuf, toRead) : 0;
    if (line.nBytesR == kFirmwareBytes) {
        // One character per word: its low byte. The text ends at the first zero.
        int n = 0;
        for (; n < kFirmwareBytes / 2; ++n) {
            const char c = static_cast<char>(line.szReadBuf[2 * n + 1]);
            if (c == '\0') break;
            line.szVersion[n] = c;
        }
        line.szVersion[n] = '\0';
        SetStatus(line.szVersion);
    }
    InstallRxNotification(line.com);
    FlushQueues(line.com);
    line.rx_flag = 0;
    ShowStatus(line.szStatus);
    return count;
}

int ReadData64(int start, int selector) {
    // The request carries its own payload, not pp.
    const std::uint16_t request[PNUM] = {static_cast<std::uint16_t>(start),
                                         static_cast<std::uint16_t>(selector)};
    int count = 0;
    bool timedOut = false;
    {
        Exchange block(line.com, protocol::kDataBlock, request, Discard::kOutThenIn);
        ShowStatus("Waiting for Data[64] ...");
        count = block.AwaitBytes(kBlockBytes, true, &timedOut);
    }
    if (timedOut) SetStatus("Timeout-RS-232 while reading 64 data-words!");
    const int toRead = std::clamp(count, 0, kReadBufSize);
    line.nBytesR = toRead > 0 ? ComRd(line.com, line.szReadBuf, toRead) : 0;
    if (line.nBytesR == kBlockBytes) SetStatus("Data[64] block received!");
    // Only a whole block is stored: after a time-out or a short read the buffer still holds
    // bytes of an earlier reply, which must not reach the sample buffers.
    if (line.nBytesR >= kBlockBytes && start >= 0 && start + 64 <= MAXPOINT) {
        for (int i = 0; i < 64; ++i) {
            const std::uint16_t w =
                static_cast<std::uint16_t>(line.szReadBuf[2 * i] * 256 + line.szReadBuf[2 * i + 1]);
            if (selector == MASTER)
                plots.adcbufA[start + i] = w;
            else if (selector == SLAVE)
                plots.adcbufB[start + i] = w;
            else if (selector == MVBUF)
                plots.databuf[start + i] = w;
        }
    }
    ShowStatus(line.szStatus);
    return 1;
}

bool ResetExtremes() {
    WaitResult wait = WaitResult::kTimeOut;
    {
        Exchange reset(line.com, protocol::kResetMaxMin, line.pp, Discard::kInThenOut);
        ShowStatus("Reset Max/Min values...");
        // A reply in the pass whose time measurement exceeds the time-out is too late.
        wait = reset.AwaitFrame(Tie::kTimeOutWins);
    }
    SetStatus(wait == WaitResult::kReply ? "Reset Max/Min OK!" : "Timeout-RS-232...");
    return wait == WaitResult::kReply;
}

void ResetMaxMin() {
    ResetExtremes();
    ShowStatus(line.szStatus);
}

bool ReadParameters(int target) {
    CopyVarsToPP();
    Exchange read(line.com, ReadCommand(target), line.pp, Discard::kInThenOut);
    if (read.written() == kFrameBytes) ShowStatus("Waiting for parameter-frame ...");
    if (read.AwaitFrame(Tie::kReplyWins) == WaitResult::kReply) {
        CopyPPtoVars();
        SetStatus("Parameter-frame received! - Line Ok!");
        return true;
    }
    SetStatus("Timeout-RS-232...");
    return false;
}

void ShowParameterRead() {
    if (parameterView.showParameters) parameterView.showParameters();
    ShowStatus(line.szStatus);
    if (parameterView.drawToleranceWindow) parameterView.drawToleranceWindow();
}

void PushGET(int target) {
    if (target != DATFILE) ReadParameters(target);
    ShowParameterRead();
}

namespace {

constexpr double kConfirmPause = 0.1;  // an EEPROM may need this long to store a set
// A sensor stores the 32 bytes of a set in its EEPROM in tens of milliseconds (a few
// milliseconds a cell or a page). Asked meanwhile it may answer late, or not at all.
constexpr double kEepromStorePause = 0.05;

bool ReadBackOnce(int target, const std::uint16_t* sent, std::uint16_t* got) {
    Exchange read(line.com, ReadCommand(target), sent, Discard::kInThenOut);
    if (read.written() == kFrameBytes) ShowStatus("Waiting for parameter-frame ...");
    if (read.AwaitFrame(Tie::kReplyWins) != WaitResult::kReply) return false;
    std::copy(line.pp, line.pp + PNUM, got);
    return true;
}

// Reads the parameter set of `target` back into `got`; false when no reply came to two asks.
// A sensor still busy storing misses the first; a good write is not reported as a time-out.
bool ReadBack(int target, const std::uint16_t* sent, std::uint16_t* got) {
    return ReadBackOnce(target, sent, got) || ReadBackOnce(target, sent, got);
}

std::vector<int> Differing(const std::uint16_t* sent, const std::uint16_t* got) {
    std::vector<int> words;
    for (int k = 0; k < PNUM; ++k)
        if (sent[k] != got[k]) words.push_back(k);
    return words;
}

}  // namespace

WriteCheck WriteParameters(int target, const std::uint16_t* words) {
    line.sync = 85;
    WriteCheck check;
    {
        Exchange write(line.com, WriteCommand(target) & 0xFFFF, words, Discard::kNone);
        if (write.written() == kFrameBytes) ShowStatus("Line Ok!");
    }
    if (target == EEPROM) Delay(kEepromStorePause);
    // A write is only believed once the sensor gives the same set back; a difference is
    // confirmed once more after a pause, since an EEPROM may still be storing.
    check.replied = ReadBack(target, words, check.readBack);
    if (check.replied && !Differing(words, check.readBack).empty()) {
        Delay(kConfirmPause);
        check.replied = ReadBack(target, words, check.readBack);
    }
    if (check.replied) check.differing = Differing(words, check.readBack);
    return check;
}
