#include "quality_text.h"

#include <cstdio>
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
    const char* const names[] = {"n", "mean", "sigma", "min", "max", "Cp", "Cpk", "out", "out%"};
    const int widths[] = {7, 7, 7, 5, 5, 6, 6, 6, 6};
    auto row = [&](const std::string& head, const std::vector<std::string>& cells) {
        char cell[32];
        std::snprintf(cell, sizeof cell, "%-7s", head.c_str());
        std::string line = cell;
        for (std::size_t k = 0; k < cells.size(); ++k) {
            std::snprintf(cell, sizeof cell, "%*s", widths[k], cells[k].c_str());
            line += cell;
        }
        return line;
    };
    auto cells = [](const ChannelStats& s) {
        return std::vector<std::string>{Count(s.n),      Fixed(s.mean, 1), Fixed(s.sigma, 2),
                                        Fixed(s.min, 0), Fixed(s.max, 0),  Fixed(s.cp, 2),
                                        Fixed(s.cpk, 2), Count(s.out),     Fixed(s.outPercent, 1)};
    };
    return row(inView ? "in view" : "run",
               std::vector<std::string>(std::begin(names), std::end(names))) +
           "\n" + row("A", cells(a)) + "\n" + row("B", cells(b));
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
