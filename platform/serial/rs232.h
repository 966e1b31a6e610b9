// Serial-port operations of the run-time contract, over a numbered port table.
//
// Every port number maps to a device (see port_table.h). Results follow the
// run-time's convention: a count or 0 on success, a negative code on failure.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "port_table.h"

// Negative results. The open errors use the codes the start-up reports by text.
enum ComError : int {
    kComUnknownSystemError = -1,  // an error the OS reports that no other code fits
    kComInvalidPort = -2,         // port number outside 1..kMaxPorts
    kComNotOpen = -3,      // operation on a port that is not open (or was closed by a hang-up)
    kComIoError = -4,      // read or write failed on an open port
    kComNoPortFound = -6,  // the port number has no device in the port table
    kComCannotOpen = -7,   // the device exists but cannot be opened (busy, missing, no permission)
    kComInvalidParameter = -13,  // baud, parity, data bits, stop bits or queue size not accepted
    kComTimeout = -99,           // a read or write did not complete within the port time-out
};

// Parity values and handshake modes.
constexpr int NOPARITY = 0;
constexpr int LWRS_HWHANDSHAKE_OFF = 0;

// Event bits of the receive notification.
constexpr int LWRS_RXFLAG = 0x0002;   // event character received
constexpr int LWRS_TXEMPTY = 0x0004;  // transmit queue empty
constexpr int LWRS_RECEIVE = 0x8000;  // input queue holds at least the notify count

// portNumber, the event that fired, callback data.
using ComCallbackPtr = void (*)(int portNumber, int eventMask, void* callbackData);

// deviceName empty or null: the port table decides which device number `port` is.
int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int SetComTime(int port, double timeoutSeconds);
int SetCTSMode(int port, int mode);
// A null function removes the notification. Only LWRS_RECEIVE is delivered: it fires inside
// event pumping once the input queue holds notifyCount bytes.
int InstallComCallback(int port, int eventMask, int notifyCount, int eventCharacter,
                       ComCallbackPtr callbackFunction, void* callbackData);
// Calls `fn` once from the event loop when the input queue of `port` holds at least `count`
// bytes, or its device has vanished; a later call replaces it, a null `fn` removes it, and
// closing the port drops it. For a direct read that waits for its bytes without a
// notification installed; it reads nothing itself.
int NotifyWhenInQueue(int port, int count, std::function<void()> fn);
// Writes count bytes and flushes them to the device; returns the count written or a negative code.
int ComWrt(int port, const std::uint8_t* buffer, int count);
// Reads up to count bytes, waiting at most the port time-out for them (without pumping events);
// returns the count read (possibly short) or a negative code.
int ComRd(int port, std::uint8_t* buffer, int count);
// Bytes waiting in the input queue, including what the OS holds.
int GetInQLen(int port);
int FlushInQ(int port);
int FlushOutQ(int port);
// Waits until the device has sent what was written (as far as the device can tell).
int ComDrain(int port);
// Closing a port that is not open is harmless and returns 0.
int CloseCom(int port);

// Why the last OpenComConfig of `port` failed, in words: "no such device", "in use by another
// program (process N)", "permission denied - ...", "settings refused by the device"; empty
// after a good open.
std::string ComOpenFailureReason(int port);
// True once the device behind an open port has vanished (hang-up, unplugged adapter); the port
// then refuses every operation until it is closed or opened again.
bool ComDeviceLost(int port);
// Called from the event loop, once, when the device behind an open port vanishes. Each owner
// of a port adds its own; returns an id for RemoveComDeviceLostHandler.
int OnComDeviceLost(std::function<void(int port)> handler);
void RemoveComDeviceLostHandler(int id);
bool ComIsOpen(int port);
