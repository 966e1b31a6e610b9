// Parameter target selection, and the send to the sensor with its read-back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "commands.h"
#include "panels.h"
#include "sensor_link.h"

// A target radio button's value changed: switched on, it selects `ownTarget` alone; switched
// off, the choice falls back to RAM, which cannot be switched off. Returns the target.
int OnTargetRadio(const PanelHandles& panels, int own, int ownTarget, int other1, int other2);
// Selects RAM on the radio buttons; returns RAM.
int SelectRamTarget(const PanelHandles& panels);

// Sends the panel's parameter set to the sensor's RAM or EEPROM, reads it back and says on
// the status line what the read-back showed. `keep` hears of the set sent and the read-back
// before the status line does; its text, when not empty, is the status instead.
using KeepSent = std::function<std::string(const std::uint16_t* sent, const WriteCheck& check)>;
Task<> SendToSensor(SensorLink& link, const PanelHandles& panels, ParameterSet& params, int target,
                    KeepSent keep = {});

// "Parameters sent - read-back differs: <names>!" for the differing packet words, the names as
// the panels show them, as many as fit the status line.
std::string ReadBackDiffersText(const std::vector<int>& words);
