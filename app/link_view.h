// The link element on the main panel (the port in use and the state of its line, in words and
// colour), and the watch that connects again by itself when a vanished device comes back.
#pragma once

// Shows every change of the link's state in the link element and on standard error (why a
// port cannot be opened), marks the values stale when the line fails, and watches devices.
void InstallLinkView();
// A port picked by the user wins over the watch: it stops waiting for the old device.
void LinkWatchPortPicked();
// Lists the system's ports afresh into the port selector (it is opened, a device came or went).
void RescanPorts();
// True while the watch waits for the device of the port in use to come back.
bool LinkWatchWaiting();
// What the link element shows.
const char* LinkElementState();

// The Trace line toggle: starts the protocol trace into a file chosen in a dialog, or ends it.
// `TraceStarted` sets it for a trace started from the command line.
int CC_TOGBTN_Trace(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
void TraceStarted();
