// Helpers shared by the simulated-sensor tests: build command frames, feed them whole.
#pragma once

#include <vector>

#include "protocol.h"
#include "sensor.h"

namespace simtest {

inline std::vector<std::uint8_t> CommandFrame(int command, const protocol::Words& words = {}) {
    const protocol::Frame f =
        protocol::EncodeFrame(protocol::kCommandSync, std::uint16_t(command), words);
    return {f.begin(), f.end()};
}

// Sends one frame at time t and returns the single reply (empty when none came).
inline std::vector<std::uint8_t> Exchange(sim::Sensor& s, int command,
                                          const protocol::Words& w = {}, double t = 1.0) {
    const auto frame = CommandFrame(command, w);
    const auto replies = s.Feed(frame.data(), frame.size(), t);
    return replies.empty() ? std::vector<std::uint8_t>{} : replies.front().bytes;
}

inline protocol::Words Payload(const std::vector<std::uint8_t>& reply) {
    return protocol::DecodePayload(reply.data());
}

inline std::vector<std::uint16_t> BlockWords(const std::vector<std::uint8_t>& reply) {
    std::vector<std::uint16_t> w;
    for (std::size_t i = 0; i + 1 < reply.size(); i += 2) w.push_back(protocol::GetWord(&reply[i]));
    return w;
}

}  // namespace simtest
