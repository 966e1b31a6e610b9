#include "quality_text.h"

#include <cstdio>
#include <functional>
#include <vector>

#include "state_colours.h"

namespace {

std::string Fixed(const std::optional<double>& v, int decimals) {
    if (!v) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, *v);
    return text;
}

std::string Count(long long n) { return std::to_string(n); }

// The time of day of a record's time text ("2026-12-07T19:35:31.123" gives "19:35:31").
std::string TimeOfDay(const std::string& time) {
    const std::size_t t = time.find('T');
    return t == std::string::npos ? time : time.substr(t + 1, 8);
}

}  // namespace

std::string QualityTable(const ChannelStats& a, const ChannelStats& b, bool inView) {
    // Plain text in fixed columns: far cheaper to lay out four times a second than a table.
    // Two blocks of three lines, so that every number fits the label's 62 characters.
    auto block = [&](int headWidth, const std::vector<std::string>& names,
                     const std::vector<int>& widths, const std::string& head,
                     const std::function<std::vector<std::string>(const ChannelStats&)>& cells) {
        auto row = [&](const std::string& first, const std::vector<std::string>& rest) {
            char cell[32];
            std::snprintf(cell, sizeof cell, "%-*s", headWidth, first.c_str());
            std::string line = cell;
            for (std::size_t k = 0; k < rest.size(); ++k) {
                std::snprintf(cell, sizeof cell, "%*s", widths[k], rest[k].c_str());
                line += cell;
            }
            return line;
        };
        return row(head, names) + "\n" + row("A", cells(a)) + "\n" + row("B", cells(b));
    };
    const std::string spread =
        block(7, {"n", "mean", "sigma w", "sigma o", "min", "max", "out", "out%"},
              {8, 7, 9, 9, 5, 5, 6, 6}, inView ? "in view" : "run", [](const ChannelStats& s) {
                  return std::vector<std::string>{
                      Count(s.n),        Fixed(s.mean, 1),      Fixed(s.sigmaWithin, 2),
                      Fixed(s.sigma, 2), Fixed(s.min, 0),       Fixed(s.max, 0),
                      Count(s.out),      Fixed(s.outPercent, 1)};
              });
    const std::string capability = block(
        1, {"Cp", "Cpk", "Cpk 95% CI", "Pp", "Ppk", "ppm w", "ppm o", "ppm obs"},
        {6, 6, 13, 6, 6, 8, 8, 8}, "", [](const ChannelStats& s) {
            const std::string ci = s.cpkLow ? Fixed(s.cpkLow, 2) + ".." + Fixed(s.cpkHigh, 2) : "-";
            return std::vector<std::string>{
                Fixed(s.cp, 2),         Fixed(s.cpk, 2),        ci,
                Fixed(s.pp, 2),         Fixed(s.ppk, 2),        Fixed(s.ppmWithin, 0),
                Fixed(s.ppmOverall, 0), Fixed(s.ppmObserved, 0)};
        });
    return spread + "\n" + capability;
}

std::string ChannelStateText(Channel c, ChannelState state) {
    std::string name = c == Channel::kA ? "A" : "B";
    switch (state) {
        case ChannelState::kOk: return name + " OK";
        case ChannelState::kOut: return name + " OUT";
        case ChannelState::kAlarm: return name + " ALARM";
        case ChannelState::kNone: break;
    }
    return name;
}

int ChannelStateColour(ChannelState state) {
    switch (state) {
        case ChannelState::kOk: return colours::kGood;
        case ChannelState::kOut: return colours::kWarning;
        case ChannelState::kAlarm: return colours::kAlarm;
        case ChannelState::kNone: break;
    }
    return colours::kNone;
}

std::string EventsText(const std::deque<AlarmEvent>& events) {
    std::string text;
    for (auto it = events.rbegin(); it != events.rend(); ++it) {
        const AlarmEvent& e = *it;
        if (!text.empty()) text += '\n';
        text += TimeOfDay(e.time) + "  ";
        if (e.IsLink()) {
            text += "link lost";
            continue;
        }
        text +=
            e.channel + "  " + std::to_string(e.records) + " records  worst " + Fixed(e.worst, 0);
    }
    return text;
}
