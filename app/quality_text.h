// How the quality numbers read on the panel: the table of both channels' numbers, a channel's
// state in words (never in colour alone) and the event list.
#pragma once

#include <deque>
#include <string>

#include "alarms.h"
#include "stats.h"

// Plain text, two blocks of a row per channel and a column per number: n, mean, the within and
// overall sigma, min, max, out, out %; then Cp, Cpk and its 95 % interval, Pp, Ppk and the ppm
// outside, expected within, expected overall and observed. "-" where a number is not defined.
// `inView`: the numbers are of the records a paused strip chart shows, not of the whole run.
std::string QualityTable(const ChannelStats& a, const ChannelStats& b, bool inView);

enum class ChannelState { kNone, kOk, kOut, kAlarm };
// "A OK", "B OUT", "A ALARM"; "A" alone before the run's first record.
std::string ChannelStateText(Channel c, ChannelState state);
int ChannelStateColour(ChannelState state);

// The events, newest first, one a line: the time of day, the channel, the records outside and
// the worst value; "link lost" for a lost link.
std::string EventsText(const std::deque<AlarmEvent>& events);
