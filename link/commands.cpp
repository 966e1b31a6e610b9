#include "commands.h"

#include <algorithm>

#include "QtorKMBscope10.h"
#include "com232.h"
#include "model.h"
#include "rs232.h"
#include "timer.h"
#include "toolkit.h"

namespace {

ParameterView parameterView;

constexpr int kFirmwareBytes = 72;
constexpr int kBlockBytes = 128;
constexpr int kReadBufSize = sizeof(line.szReadBuf);

// Starts the reply clock of the frame just written.
void StartWait() {
    line.tstart = Timer();
    line.tdiff = 0.0;
}

// Seconds since the last frame was written, kept in tdiff.
double Elapsed() {
    line.tdiff = Timer() - line.tstart;
    return line.tdiff;
}

// Polling the input queue without pumping events: pause between polls so the wait does not
// occupy a core.
constexpr double kQueuePollPause = 0.0002;

}  // namespace

void SetParameterView(ParameterView view) { parameterView = view; }

void ShowStatus(const char* text) { SetCtrlVal(panels.panelHandle, TEXT_Status, text); }

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

void InitRS232(int port) {
    const int opened = OpenComConfig(port, "", 19200, NOPARITY, 8, 1, 4096, 4096);
    if (opened < 0) {
        SetStatus(OpenErrorText(opened));
    } else {
        SetComTime(port, 2.0);
        FlushInQ(port);
        FlushOutQ(port);
        SetCTSMode(port, LWRS_HWHANDSHAKE_OFF);
        InstallRxNotification(port);
        if (CheckComLine(port) == 1) {
            line.target = RAM;
            PushGET(RAM);
            if (GetFirmwareInfo() < kFirmwareBytes) SetStatus("Error reading firmware-info!");
        }
    }
    ShowStatus(line.szStatus);
}

int CheckComLine(int port) {
    int result = 0;
    CopyVarsToPP();
    line.order = 5;
    FillTxBuf(static_cast<std::uint16_t>(line.order), line.pp);
    FlushOutQ(port);
    FlushInQ(port);
    line.rx_flag = 0;
    WriteFrame(port);
    StartWait();
    do {
        ProcessSystemEvents();
        if (Elapsed() > TIMEOUT) {
            SetStatus("Timeout-RS-232...");
            break;
        }
    } while (line.rx_flag == 0);
    // A reply that came in the pass that ran out of time still counts.
    if (line.rx_flag == 1) {
        line.pp[0] = static_cast<std::uint16_t>(line.szReadBuf[0] * 256 + line.szReadBuf[1]);
        if (line.pp[0] == 0x00AA) {
            SetStatus("Echo Check - Line Ok!");
            result = 1;
        } else {
            SetStatus("read error - not sync byte 0xAA!");
        }
    }
    ShowStatus(line.szStatus);
    return result;
}

int GetFirmwareInfo() {
    int count = 0;
    RemoveRxNotification(line.com);
    FlushQueues(line.com);
    line.order = 7;
    FillTxBuf(static_cast<std::uint16_t>(line.order), line.pp);
    WriteFrame(line.com);
    ShowStatus("Waiting for firmware info ...");
    StartWait();
    for (;;) {
        count = GetInQLen(line.com);
        if (Elapsed() > TIMEOUT || count < 0) {
            SetStatus("Timeout - reading firmware info!");
            break;
        }
        if (count >= kFirmwareBytes) break;
        Delay(kQueuePollPause);
    }
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
    line.order = 9;
    FlushOutQ(line.com);
    FlushInQ(line.com);
    // The request carries its own payload, not pp.
    std::uint16_t request[PNUM] = {static_cast<std::uint16_t>(start),
                                   static_cast<std::uint16_t>(selector)};
    FillTxBuf(static_cast<std::uint16_t>(line.order), request);
    WriteFrame(line.com);
    ShowStatus("Waiting for Data[64] ...");
    StartWait();
    int count = 0;
    for (;;) {
        ProcessSystemEvents();
        count = GetInQLen(line.com);
        // A port closed meanwhile (the main panel closed, another port chosen) never answers.
        if (Elapsed() > TIMEOUT || count < 0) {
            SetStatus("Timeout-RS-232 while reading 64 data-words!");
            break;
        }
        if (count >= kBlockBytes) break;
    }
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

void ResetMaxMin() {
    FlushQueues(line.com);
    line.rx_flag = 0;
    line.order = 11;
    FillTxBuf(static_cast<std::uint16_t>(line.order), line.pp);
    WriteFrame(line.com);
    ShowStatus("Reset Max/Min values...");
    StartWait();
    do {
        if (line.rx_flag == 1) break;
        ProcessSystemEvents();
        Elapsed();
    } while (line.tdiff < TIMEOUT);
    SetStatus(line.tdiff <= TIMEOUT ? "Reset Max/Min OK!" : "Timeout-RS-232...");
    ShowStatus(line.szStatus);
}

void PushGET(int target) {
    if (target != DATFILE) {
        line.order = target == EEPROM ? 4 : 2;
        CopyVarsToPP();
        FlushQueues(line.com);
        FillTxBuf(static_cast<std::uint16_t>(line.order), line.pp);
        if (WriteFrame(line.com) == kFrameBytes) ShowStatus("Waiting for parameter-frame ...");
        line.rx_flag = 0;
        StartWait();
        bool received = false;
        do {
            ProcessSystemEvents();
            if (line.rx_flag == 1) {
                CopyPPtoVars();
                SetStatus("Parameter-frame received! - Line Ok!");
                received = true;
                break;
            }
        } while (Elapsed() <= TIMEOUT);
        if (!received) SetStatus("Timeout-RS-232...");
    }
    if (parameterView.showParameters) parameterView.showParameters();
    ShowStatus(line.szStatus);
    if (parameterView.drawToleranceWindow) parameterView.drawToleranceWindow();
}
