#include "commands.h"

#include <algorithm>
#include <cctype>

#include "exchange.h"
#include "rs232.h"
#include "timer.h"
#include "trace.h"

namespace {

constexpr int kFirmwareBytes = 72;
constexpr int kBlockBytes = 128;
constexpr int kReadBufSize = sizeof(SensorLink::szReadBuf);

}  // namespace

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

Task<int> OpenLine(SensorLink& link) {
    const int port = link.com;
    const int opened = OpenComConfig(port, "", 19200, NOPARITY, 8, 1, 4096, 4096);
    if (opened < 0) co_return opened;
    SetComTrace(port, &link.trace);
    SetComTime(port, 2.0);
    co_await link.FlushQueues();
    SetCTSMode(port, LWRS_HWHANDSHAKE_OFF);
    link.InstallRxNotification();
    co_return opened;
}

namespace {

Task<ConnectResult> ConnectSteps(SensorLink& link, ParameterSet& params) {
    const int opened = co_await OpenLine(link);
    if (opened < 0) {
        link.SetStatus(OpenErrorText(opened));
        co_return ConnectResult::kCannotOpen;
    }
    const int echo = co_await CheckComLine(link, params);
    if (echo != 1) co_return ConnectResult::kNoEcho;
    // The radio buttons follow, or a send meant for the EEPROM or a file would write the
    // sensor's RAM.
    if (link.views.selectRamTarget) link.views.selectRamTarget();
    const bool read = co_await ReadParameters(link, RAM, params);
    ShowParameterRead(link);
    // Only a reply of exactly the firmware's length is its text.
    const int firmware = co_await GetFirmwareInfo(link);
    if (firmware != kFirmwareBytes) {
        link.SetStatus("Error reading firmware-info!");
        co_return ConnectResult::kNoFirmware;
    }
    co_return read ? ConnectResult::kConnected : ConnectResult::kNoParameters;
}

}  // namespace

Task<ConnectResult> Connect(SensorLink& link, ParameterSet& params) {
    const int port = link.com;
    const ConnectResult r = co_await ConnectSteps(link, params);
    switch (r) {
        case ConnectResult::kConnected:
            link.ReportLink(LinkHealth::kConnected, port, link.szVersion);
            break;
        case ConnectResult::kCannotOpen:
            link.ReportLink(LinkHealth::kCannotOpen, port, ComOpenFailureReason(port));
            break;
        default:
            link.ReportLink(ComDeviceLost(port) ? LinkHealth::kDisconnected : LinkHealth::kNoReply,
                            port, link.szStatus);
            break;
    }
    co_return r;
}

std::string WithReason(const std::string& text, const std::string& reason) {
    const auto lower = [](std::string t) {
        for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return t;
    };
    if (reason.empty() || lower(reason) == lower(text)) return text;  // said once is enough
    std::string s = text + ": " + reason;
    constexpr std::size_t kRoom = kStatusSize - 1;
    if (s.size() <= kRoom) return s;
    // The link element's tooltip holds the whole reason.
    std::size_t cut = s.rfind(' ', kRoom - 3);
    if (cut == std::string::npos || cut <= text.size() + 1) {
        cut = kRoom - 3;
        while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;  // UTF-8
    }
    return s.substr(0, cut) + "...";
}

Task<> InitRS232(SensorLink& link, ParameterSet& params) {
    // The status line says why a port cannot be opened, as the link element does.
    const ConnectResult r = co_await Connect(link, params);
    if (r == ConnectResult::kCannotOpen)
        link.SetStatus(WithReason(link.szStatus, link.Health().detail).c_str());
    link.ShowStatus(link.szStatus);
}

Task<int> CheckComLine(SensorLink& link, const ParameterSet& params) {
    int result = 0;
    CopyVarsToPP(params, link.pp);
    Received reply;
    {
        Exchange echo(link);
        co_await echo.Write(protocol::kEcho, link.pp, Discard::kOutThenIn);
        reply = co_await echo.Frame(Tie::kReplyWins);
    }
    if (reply.ok()) {
        link.pp[0] = reply.SyncWord();
        if (link.pp[0] == 0x00AA) {
            link.SetStatus("Echo Check - Line Ok!");
            result = 1;
        } else {
            link.SetStatus("read error - not sync byte 0xAA!");
        }
    } else {
        link.SetStatus("Timeout-RS-232...");
    }
    link.ShowStatus(link.szStatus);
    co_return result;
}

Task<int> GetFirmwareInfo(SensorLink& link) {
    link.RemoveRxNotification();
    int count = 0;
    bool timedOut = false;
    {
        Exchange request(link);
        co_await request.Write(protocol::kFirmware, link.pp, Discard::kInThenOut);
        link.ShowStatus("Waiting for firmware info ...");
        count = co_await request.Bytes(kFirmwareBytes, &timedOut);
    }
    if (timedOut) link.SetStatus("Timeout - reading firmware info!");
    link.szVersion[0] = '\0';
    const int toRead = std::clamp(count, 0, kReadBufSize);
    link.nBytesR = toRead > 0 ? ComRd(link.com, link.szReadBuf, toRead) : 0;
    if (link.nBytesR == kFirmwareBytes) {
        // One character per word: its low byte. The text ends at the first zero.
        int n = 0;
        for (; n < kFirmwareBytes / 2; ++n) {
            const char c = static_cast<char>(link.szReadBuf[2 * n + 1]);
            if (c == '\0') break;
            link.szVersion[n] = c;
        }
        link.szVersion[n] = '\0';
        link.SetStatus(link.szVersion);
    }
    link.InstallRxNotification();
    co_await link.FlushQueues();
    link.ShowStatus(link.szStatus);
    co_return count;
}

Task<int> ReadData64(SensorLink& link, int start, int selector, PlotArrays& plots) {
    // The request carries its own payload, not pp.
    const std::uint16_t request[PNUM] = {static_cast<std::uint16_t>(start),
                                         static_cast<std::uint16_t>(selector)};
    int count = 0;
    bool timedOut = false;
    {
        Exchange block(link);
        co_await block.Write(protocol::kDataBlock, request, Discard::kOutThenIn);
        link.ShowStatus("Waiting for Data[64] ...");
        count = co_await block.Bytes(kBlockBytes, &timedOut);
    }
    if (timedOut) link.SetStatus("Timeout-RS-232 while reading 64 data-words!");
    const int toRead = std::clamp(count, 0, kReadBufSize);
    link.nBytesR = toRead > 0 ? ComRd(link.com, link.szReadBuf, toRead) : 0;
    if (link.nBytesR == kBlockBytes) link.SetStatus("Data[64] block received!");
    // Only a whole block is stored: after a time-out or a short read the buffer still holds
    // bytes of an earlier reply, which must not reach the sample buffers.
    if (link.nBytesR >= kBlockBytes && start >= 0 && start + 64 <= MAXPOINT) {
        for (int i = 0; i < 64; ++i) {
            const std::uint16_t w = protocol::GetWord(&link.szReadBuf[2 * i]);
            if (selector == MASTER)
                plots.adcbufA[start + i] = w;
            else if (selector == SLAVE)
                plots.adcbufB[start + i] = w;
            else if (selector == MVBUF)
                plots.databuf[start + i] = w;
        }
    }
    link.ShowStatus(link.szStatus);
    co_return 1;
}

Task<bool> ReadBlocks(SensorLink& link, std::vector<std::pair<int, int>> blocks, PlotArrays& plots,
                      std::string* failure) {
    link.RemoveRxNotification();
    co_await link.FlushQueues();
    bool allRead = true;
    for (const auto& [start, selector] : blocks) {
        co_await ReadData64(link, start, selector, plots);
        if (link.nBytesR < kBlockBytes && allRead) {
            allRead = false;
            if (failure) *failure = link.szStatus;
        }
    }
    link.InstallRxNotification();
    co_return allRead;
}

Task<bool> ResetExtremes(SensorLink& link) {
    Received reply;
    {
        Exchange reset(link);
        co_await reset.Write(protocol::kResetMaxMin, link.pp, Discard::kInThenOut);
        link.ShowStatus("Reset Max/Min values...");
        // A reply in the pass whose time measurement exceeds the time-out is too late.
        reply = co_await reset.Frame(Tie::kTimeOutWins);
    }
    link.SetStatus(reply.ok() ? "Reset Max/Min OK!" : "Timeout-RS-232...");
    co_return reply.ok();
}

Task<> ResetMaxMin(SensorLink& link) {
    co_await ResetExtremes(link);
    link.ShowStatus(link.szStatus);
}

Task<bool> ReadParameters(SensorLink& link, int target, ParameterSet& params) {
    CopyVarsToPP(params, link.pp);
    Exchange read(link);
    const int written = co_await read.Write(ReadCommand(target), link.pp, Discard::kInThenOut);
    if (written == kFrameBytes) link.ShowStatus("Waiting for parameter-frame ...");
    const Received reply = co_await read.Frame(Tie::kReplyWins);
    if (reply.ok()) {
        CopyPPtoVars(reply.words, params);
        link.SetStatus("Parameter-frame received! - Line Ok!");
        co_return true;
    }
    link.SetStatus("Timeout-RS-232...");
    co_return false;
}

void ShowParameterRead(SensorLink& link) {
    if (link.views.showParameters) link.views.showParameters();
    link.ShowStatus(link.szStatus);
    if (link.views.drawToleranceWindow) link.views.drawToleranceWindow();
}

Task<> PushGET(SensorLink& link, int target, ParameterSet& params) {
    if (target != DATFILE) co_await ReadParameters(link, target, params);
    ShowParameterRead(link);
}

namespace {

constexpr double kConfirmPause = 0.1;  // an EEPROM may need this long to store a set
// A sensor stores the 32 bytes of a set in its EEPROM in tens of milliseconds (a few
// milliseconds a cell or a page). Asked meanwhile it may answer late, or not at all.
constexpr double kEepromStorePause = 0.05;

Task<bool> ReadBackOnce(SensorLink& link, int target, const std::uint16_t* sent,
                        std::uint16_t* got) {
    Exchange read(link);
    const int written = co_await read.Write(ReadCommand(target), sent, Discard::kInThenOut);
    if (written == kFrameBytes) link.ShowStatus("Waiting for parameter-frame ...");
    const Received reply = co_await read.Frame(Tie::kReplyWins);
    if (!reply.ok()) co_return false;
    std::copy(reply.words, reply.words + PNUM, got);
    co_return true;
}

// Reads the parameter set of `target` back into `got`; false when no reply came to two asks.
// A sensor still busy storing misses the first; a good write is not reported as a time-out.
Task<bool> ReadBack(SensorLink& link, int target, const std::uint16_t* sent, std::uint16_t* got) {
    const bool first = co_await ReadBackOnce(link, target, sent, got);
    if (first) co_return true;
    const bool second = co_await ReadBackOnce(link, target, sent, got);
    co_return second;
}

std::vector<int> Differing(const std::uint16_t* sent, const std::uint16_t* got) {
    std::vector<int> words;
    for (int k = 0; k < PNUM; ++k)
        if (sent[k] != got[k]) words.push_back(k);
    return words;
}

}  // namespace

Task<WriteCheck> WriteParameters(SensorLink& link, int target, const std::uint16_t* words) {
    link.sync = 85;
    WriteCheck check;
    {
        Exchange write(link);
        const int written =
            co_await write.Write(WriteCommand(target) & 0xFFFF, words, Discard::kNone);
        if (written == kFrameBytes) {
            link.ShowStatus("Line Ok!");
            if (link.views.parametersWritten) link.views.parametersWritten(target, words);
        }
    }
    if (target == EEPROM) co_await link.Pause(kEepromStorePause);
    // A write is only believed once the sensor gives the same set back; a difference is
    // confirmed once more after a pause, since an EEPROM may still be storing.
    check.replied = co_await ReadBack(link, target, words, check.readBack);
    if (check.replied && !Differing(words, check.readBack).empty()) {
        co_await link.Pause(kConfirmPause);
        check.replied = co_await ReadBack(link, target, words, check.readBack);
    }
    if (check.replied) check.differing = Differing(words, check.readBack);
    co_return check;
}
