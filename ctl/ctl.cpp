#include "ctl.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>

#include "alarms.h"
#include "arrays.h"
#include "audit.h"
#include "commands.h"
#include "correction.h"
#include "ctl_report.h"
#include "ctl_stats.h"
#include "exchange.h"
#include "maintenance_key.h"
#include "model.h"
#include "plant_link.h"
#include "port_table.h"
#include "qtor_version.h"
#include "record_csv.h"
#include "record_info.h"
#include "rs232.h"
#include "run_task.h"
#include "signals.h"
#include "system_files.h"
#include "textfiles.h"
#include "trace.h"

const char* const kCtlUsageText =
    "Usage: qtor-ctl [--port DEVICE | --demo] [--json] [--trace FILE] [--key-file FILE]\n"
    "                [--audit FILE] COMMAND [ARGS]\n"
    "The Q-TOR line sensor from scripts: the program's own link, without its window.\n"
    "\n"
    "Commands:\n"
    "  info                       check the line, read the firmware text; prints the text\n"
    "  get ram|eeprom [FILE]      read the parameter set (out-of-range words corrected as\n"
    "                             on a read, each correction said on standard error); prints\n"
    "                             it as a parameter file (16 lines), or writes it to FILE\n"
    "  send ram|eeprom FILE       write FILE's parameter set, read it back and compare;\n"
    "                             prints \"verified\" or the names of the words that differ\n"
    "  compare SRC SRC            SRC is ram, eeprom or a parameter file; prints a table of\n"
    "                             the words that differ (word, name, first, second)\n"
    "  teach                      teach new set-points; prints them (tValA, tValB)\n"
    "  reset                      reset the sensor's maximum and minimum values\n"
    "  record --count N [--csv FILE] [--alarm-after K]\n"
    "                             N measurement records as CSV: time, index and the 16\n"
    "                             words, the columns of the program's run-mode recording;\n"
    "                             into FILE, the alarms' events go to FILE-events.csv\n"
    "                             and what made it to FILE-info.json\n"
    "  video --count N [--csv FILE]   N video cycles as CSV: cycle, pixel, channel A, B\n"
    "  buffer [--csv FILE]        one fetch of the 128-value buffer as CSV, in ring order\n"
    "  stats FILE [--last N] [--alarm-after K]\n"
    "                             quality numbers of a recording (as record writes it; no\n"
    "                             sensor needed), per channel A and B: n, mean, sigma within\n"
    "                             (mean moving range / 1.128), sigma overall (n - 1), min,\n"
    "                             max, the last row's limits (low, high), the rows outside\n"
    "                             their own limits (out, out %); Cp, Cpk (sigma within) with\n"
    "                             Cpk's 95 % interval, Pp, Ppk (sigma overall), ppm outside\n"
    "                             expected within and overall, and observed; then one line\n"
    "                             per alarm: K rows in a row outside, until one is inside.\n"
    "                             JSON: sigma is the overall one; cp and cpk are within\n"
    "  report FILE --pdf OUT.pdf [--title TEXT] [--alarm-after K]\n"
    "                             the capability report of a recording as a PDF (A4, no\n"
    "                             sensor needed): FILE's name and SHA-256, its first and last\n"
    "                             time and what FILE-info.json beside it holds; per channel\n"
    "                             the numbers of stats, a histogram with the limits, the\n"
    "                             set-point and the normal curves, the individuals and the\n"
    "                             moving ranges; then the alarms. OUT.pdf is replaced, never\n"
    "                             FILE; qtor-report, beside qtor-ctl or on PATH, draws it\n"
    "  monitor --mqtt URL [--record FILE.csv] [--alarm-after K]\n"
    "                             run mode until SIGINT or SIGTERM, publishing records,\n"
    "                             statistics, alarms and the parameter set to the MQTT broker\n"
    "                             at URL (mqtt://HOST[:PORT] or mqtts://HOST[:PORT]); connects\n"
    "                             again when the sensor's line fails or its device comes back\n"
    "  lock set|clear             set or clear the maintenance key; the key is read from\n"
    "                             the terminal without echo, or a line of standard input.\n"
    "                             As root the system-wide key file, else the user's; a key\n"
    "                             set already needs --key-file\n"
    "  audit verify FILE          check the audit trail's chain; names the first broken\n"
    "                             line, or prints the entries and the last line's hash\n"
    "\n"
    "Options:\n"
    "  --port DEVICE   a serial device path, or a port number as the program numbers its\n"
    "                  ports (default 1: the first port the system lists)\n"
    "  --demo          the built-in simulated sensor, paced at 19200 baud\n"
    "  --json          print one JSON object instead\n"
    "  --trace FILE    write every frame written and chunk read to the new file FILE\n"
    "  --last N        stats over the last N rows only\n"
    "  --alarm-after K stats, report, monitor, record --csv: rows in a row outside that\n"
    "                  make an alarm (default 3)\n"
    "  --pdf FILE      report: the PDF to write\n"
    "  --title TEXT    report: the report's title (default \"Capability report\")\n"
    "  --key-file FILE the maintenance key, in a file only its owner may read: needed by\n"
    "                  send, teach, reset and lock while a key is set\n"
    "  --audit FILE    the audit trail to append to (default: audit.jsonl in the settings\n"
    "                  folder, kept while a key is set)\n"
    "  --station NAME  monitor: the topics' root below qtor/ (default: HOST-PORT)\n"
    "  --mqtt-user NAME, --mqtt-password-file FILE   monitor: the broker's user name and a\n"
    "                  file only its owner may read that holds the password\n"
    "  --mqtt-ca FILE  monitor: the authority that signed the broker's certificate (default:\n"
    "                  the system's); --mqtt-cert FILE, --mqtt-key FILE: the client's own\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 success; 1 the read-back or the comparison differs; 2 usage error, or\n"
    "the FILE of stats or report is no recording (the message names the line); 3 link\n"
    "failure (cannot open, time-out, wrong sync word, short reply); 4 file error (for\n"
    "report also: qtor-report cannot be found or started), or the audit trail cannot be\n"
    "written (nothing is sent then); 5 \"Locked: maintenance key needed\": a key is set\n"
    "and --key-file was missing, unsafe or wrong (nothing is sent).\n"
    "Messages on standard error use the program's status texts.\n";

namespace {

struct Options {
    std::string port;
    bool demo = false;
    bool json = false;
    std::string trace;
    std::string command;
    std::vector<std::string> args;
    long long count = -1;
    std::string csv;
    long long last = -1;
    long long alarmAfter = -1;
    std::string pdf;
    std::optional<std::string> title;
    std::string keyFile;
    std::string audit;
    std::string mqtt, station, mqttUser, mqttPasswordFile, mqttCa, mqttCert, mqttKey, record;
};

// A failure that ends the command with an exit status and a message on standard error.
struct Failure {
    int status;
    std::string message;
};

using Words = std::uint16_t[PNUM];

bool ParseCount(const std::string& text, long long* count) {
    if (text.empty() || text.size() > 12 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    *count = std::stoll(text);
    return *count >= 1;
}

// Options may stand anywhere; the first other word is the command.
bool Parse(const std::vector<std::string>& args, Options* o, std::string* why) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* into) {
            if (i + 1 >= args.size()) {
                *why = a + " needs a value";
                return false;
            }
            *into = args[++i];
            return true;
        };
        if (a == "--port") {
            if (!value(&o->port)) return false;
        } else if (a == "--demo") {
            o->demo = true;
        } else if (a == "--json") {
            o->json = true;
        } else if (a == "--trace") {
            if (!value(&o->trace)) return false;
        } else if (a == "--key-file") {
            if (!value(&o->keyFile)) return false;
        } else if (a == "--audit") {
            if (!value(&o->audit)) return false;
        } else if (a == "--mqtt") {
            if (!value(&o->mqtt)) return false;
        } else if (a == "--station") {
            if (!value(&o->station)) return false;
        } else if (a == "--mqtt-user") {
            if (!value(&o->mqttUser)) return false;
        } else if (a == "--mqtt-password-file") {
            if (!value(&o->mqttPasswordFile)) return false;
        } else if (a == "--mqtt-ca") {
            if (!value(&o->mqttCa)) return false;
        } else if (a == "--mqtt-cert") {
            if (!value(&o->mqttCert)) return false;
        } else if (a == "--mqtt-key") {
            if (!value(&o->mqttKey)) return false;
        } else if (a == "--record") {
            if (!value(&o->record)) return false;
        } else if (a == "--csv") {
            if (!value(&o->csv)) return false;
        } else if (a == "--pdf") {
            if (!value(&o->pdf)) return false;
        } else if (a == "--title") {
            std::string title;
            if (!value(&title)) return false;
            if (title.empty()) {
                *why = "--title needs a text";
                return false;
            }
            o->title = title;
        } else if (a == "--count") {
            std::string n;
            if (!value(&n)) return false;
            if (!ParseCount(n, &o->count)) {
                *why = "--count needs a whole number of at least 1";
                return false;
            }
        } else if (a == "--last" || a == "--alarm-after") {
            std::string n;
            if (!value(&n)) return false;
            if (!ParseCount(n, a == "--last" ? &o->last : &o->alarmAfter)) {
                *why = a + " needs a whole number of at least 1";
                return false;
            }
        } else if (a.rfind("--", 0) == 0) {
            *why = "unknown option " + a;
            return false;
        } else if (o->command.empty()) {
            o->command = a;
        } else {
            o->args.push_back(a);
        }
    }
    if (o->demo && !o->port.empty()) {
        *why = "--port and --demo exclude each other";
        return false;
    }
    const std::string& c = o->command;
    const std::size_t n = o->args.size();
    const bool target = n >= 1 && (o->args[0] == "ram" || o->args[0] == "eeprom");
    bool ok = false;
    if (c == "info" || c == "teach" || c == "reset" || c == "buffer") ok = n == 0;
    if (c == "get") ok = target && n <= 2;
    if (c == "send") ok = target && n == 2;
    if (c == "compare") ok = n == 2;
    if (c == "record" || c == "video") ok = n == 0 && o->count >= 1;
    if (c == "stats") ok = n == 1;
    if (c == "report") ok = n == 1 && !o->pdf.empty();
    if (c == "lock") ok = n == 1 && (o->args[0] == "set" || o->args[0] == "clear");
    if (c == "audit") ok = n == 2 && o->args[0] == "verify";
    if (c == "monitor") ok = n == 0 && !o->mqtt.empty();
    if (c.empty()) {
        *why = "no command";
        return false;
    }
    static const char* const kCommands[] = {"info",   "get",    "send",  "compare", "teach",
                                            "reset",  "record", "video", "buffer",  "stats",
                                            "report", "lock",   "audit", "monitor"};
    if (std::find(std::begin(kCommands), std::end(kCommands), c) == std::end(kCommands)) {
        *why = "unknown command " + c;
        return false;
    }
    if (!ok) {
        *why = "wrong arguments for " + c;
        return false;
    }
    if ((o->count >= 1) != (c == "record" || c == "video")) {
        *why = "--count belongs to record and video";
        return false;
    }
    if (!o->csv.empty() && c != "record" && c != "video" && c != "buffer") {
        *why = "--csv belongs to record, video and buffer";
        return false;
    }
    const bool changes = c == "send" || c == "teach" || c == "reset";
    if (!o->keyFile.empty() && !changes && c != "lock") {
        *why = "--key-file belongs to send, teach, reset and lock";
        return false;
    }
    if (!o->audit.empty() && !changes) {
        *why = "--audit belongs to send, teach and reset";
        return false;
    }
    if (o->last >= 1 && c != "stats") {
        *why = "--last belongs to stats";
        return false;
    }
    if (o->alarmAfter >= 1 && c != "stats" && c != "report" && c != "monitor" &&
        !(c == "record" && !o->csv.empty())) {
        *why = "--alarm-after belongs to stats, report, monitor and record --csv";
        return false;
    }
    const bool plant = !o->mqtt.empty() || !o->station.empty() || !o->mqttUser.empty() ||
                       !o->mqttPasswordFile.empty() || !o->mqttCa.empty() || !o->mqttCert.empty() ||
                       !o->mqttKey.empty() || !o->record.empty();
    if (plant && c != "monitor") {
        *why = "--mqtt, --station, --record and the --mqtt- options belong to monitor";
        return false;
    }
    if ((!o->pdf.empty() || o->title) && c != "report") {
        *why = "--pdf and --title belong to report";
        return false;
    }
    return true;
}

}  // namespace

namespace {

int TargetOf(const std::string& name) { return name == "eeprom" ? EEPROM : RAM; }

// One sensor's line as the program holds it: the link with its start values, the parameter set
// the program starts with, the record and the buffers block reads fill.
struct Line {
    explicit Line(int port) : link(port) {}
    SensorLink link;
    ParameterSet params = StartParameters();
    MeasurementRecord meas;
    PlotArrays plots;
    AuditTrail trail;  // kept while a key is set, or when asked for
};

// A reply frame must carry the sensor's sync word; the program looks only at the echo's, a
// script wants to know of a garbling line at once.
void ExpectReplySync(const Line& l) {
    if (protocol::GetWord(l.link.szReadBuf) != protocol::kReplySync)
        throw Failure{kCtlLink, "read error - not sync byte 0xAA!"};
}

// "Cannot open port" and why, as far as the system tells.
std::string OpenFailure(int port, const char* text) {
    const std::string why = ComOpenFailureReason(port);
    return why.empty() ? text : std::string(text) + " - " + why;
}

// Open and echo check.
Task<> CheckLine(Line& l) {
    const int opened = co_await OpenLine(l.link);
    if (opened < 0) throw Failure{kCtlLink, OpenFailure(l.link.com, OpenErrorText(opened))};
    const int echo = co_await CheckComLine(l.link, l.params);
    if (echo != 1) throw Failure{kCtlLink, l.link.szStatus};
}

// An entry for the trail of a change this command makes; the firmware text is read for it.
Task<AuditEntry> EntryFor(Line& l, std::string action) {
    co_await GetFirmwareInfo(l.link);
    AuditEntry e = AuditNow(std::move(action));
    e.program = std::string("qtor-ctl ") + kQtorVersion;
    const std::string device = PortTableDevice(l.link.com);
    e.port = "COM" + std::to_string(l.link.com) + (device.empty() ? "" : " " + device);
    e.firmware = l.link.szVersion;
    co_return e;
}

// The change went out: the trail holds it before the command says it is done.
void Keep(const Line& l, const AuditEntry& e) {
    std::string error;
    if (l.trail.Kept() && !l.trail.Append(e, &error))
        throw Failure{kCtlFile, "audit trail not written: " + error};
}

Task<> ReadTarget(Line& l, int target, std::uint16_t* words) {
    const bool read = co_await ReadParameters(l.link, target, l.params);
    if (!read) throw Failure{kCtlLink, l.link.szStatus};
    ExpectReplySync(l);
    ParameterWords(l.params, words);
}

void Correct(Words words, std::ostream& err) {
    Words before;
    std::copy(words, words + PNUM, before);
    RangeCorrect(words);
    for (int k = 0; k < PNUM; ++k) {
        if (before[k] != words[k])
            err << "qtor-ctl: " << kParameterNames[k] << " " << before[k] << " corrected to "
                << words[k] << "\n";
    }
}

void ReadFileWords(const std::string& path, Words words) {
    std::uint32_t values[PNUM] = {};
    const int read = FileToArray(path, values, PNUM);
    if (read < 0) throw Failure{kCtlFile, path + ": Parameter file unreadable"};
    if (read < PNUM) throw Failure{kCtlFile, path + ": Parameter file incomplete"};
    for (int k = 0; k < PNUM; ++k) {
        if (values[k] > 0xFFFF)
            throw Failure{kCtlFile,
                          path + ": line " + std::to_string(k + 1) + " holds no 16-bit value"};
        words[k] = static_cast<std::uint16_t>(values[k]);
    }
}

void WriteFileWords(const std::string& path, const Words words) {
    std::uint32_t values[PNUM];
    std::copy(words, words + PNUM, values);
    if (ArrayToFile(path, values, PNUM, 4) < 0)
        throw Failure{kCtlFile, path + ": Parameter file could not be written!"};
}

std::string FileLayout(const Words words) {
    std::string text;
    char row[16];
    for (int k = 0; k < PNUM; ++k) {
        std::snprintf(row, sizeof row, "%4u\n", static_cast<unsigned>(words[k]));
        text += row;
    }
    return text;
}

// Where a table of rows goes: standard output or --csv FILE, as CSV, or one JSON object.
class Table {
  public:
    Table(const Options& o, std::ostream& out, std::vector<std::string> columns)
        : json_(o.json), out_(out), columns_(std::move(columns)) {
        if (!o.csv.empty()) {
            file_.open(o.csv, std::ios::binary | std::ios::trunc);
            if (!file_) throw Failure{kCtlFile, o.csv + ": cannot be written"};
        }
        if (!json_) {
            std::string header;
            for (const std::string& c : columns_) header += (header.empty() ? "" : ",") + c;
            Put(header + "\n");
        }
    }
    // Cells already formatted; in JSON all but a timestamp are numbers.
    void Row(const std::vector<std::string>& cells) {
        if (!json_) {
            std::string row;
            for (const std::string& c : cells) row += (row.empty() ? "" : ",") + c;
            Put(row + "\n");
            return;
        }
        std::string row = "[";
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i) row += ",";
            const bool number =
                !cells[i].empty() && cells[i].find_first_not_of("0123456789") == std::string::npos;
            row += number ? cells[i] : JsonString(cells[i]);
        }
        rows_.push_back(row + "]");
    }
    void Finish() {
        if (json_) {
            std::string text = "{\"columns\":[";
            for (std::size_t i = 0; i < columns_.size(); ++i)
                text += (i ? "," : "") + JsonString(columns_[i]);
            text += "],\"rows\":[";
            for (std::size_t i = 0; i < rows_.size(); ++i) text += (i ? "," : "") + rows_[i];
            Put(text + "]}\n");
        }
        if (file_.is_open()) {
            file_.flush();
            if (!file_) throw Failure{kCtlFile, "CSV file could not be written"};
        }
    }

  private:
    void Put(const std::string& text) {
        if (file_.is_open() && !json_) {
            file_ << text;
            if (!file_) throw Failure{kCtlFile, "CSV file could not be written"};
        } else {
            out_ << text;
        }
    }
    bool json_;
    std::ostream& out_;
    std::vector<std::string> columns_;
    std::ofstream file_;
    std::vector<std::string> rows_;
};

std::vector<std::string> RecordColumns() {
    std::vector<std::string> c = {"time", "index"};
    for (const char* name : kRecordNames) c.emplace_back(name);
    return c;
}

// One measure command and its record in pp; a silent sensor ends the command.
Task<> Measure(Line& l, Tie tie) {
    Received record;
    {
        Exchange measure(l.link);
        co_await measure.Write(protocol::kMeasure, l.link.pp, Discard::kInThenOut);
        record = co_await measure.Frame(tie);
    }
    if (!record.ok()) throw Failure{kCtlLink, "Timeout RS232-Line!"};
    ExpectReplySync(l);
    CopyPPtoRAWVars(record.words, l.meas, l.params);
}

// A block that does not come whole ends the command.
Task<> ReadBlocks(Line& l, std::vector<std::pair<int, int>> blocks) {
    std::string failure;
    const bool whole = co_await ::ReadBlocks(l.link, std::move(blocks), l.plots, &failure);
    if (!whole) throw Failure{kCtlLink, failure};
}

std::vector<std::pair<int, int>> VideoBlocks() {
    return {{0, MASTER}, {64, MASTER}, {0, SLAVE}, {64, SLAVE}};
}
std::vector<std::pair<int, int>> BufferBlocks() { return {{0, MVBUF}, {64, MVBUF}}; }

Task<int> Info(const Options& o, Line& l, std::ostream& out) {
    const ConnectResult r = co_await Connect(l.link, l.params);
    if (r == ConnectResult::kCannotOpen)
        throw Failure{kCtlLink, OpenFailure(l.link.com, l.link.szStatus)};
    if (r != ConnectResult::kConnected) throw Failure{kCtlLink, l.link.szStatus};
    if (o.json)
        out << "{\"firmware\":" << JsonString(l.link.szVersion) << "}\n";
    else
        out << l.link.szVersion << "\n";
    co_return kCtlOk;
}

Task<int> Get(const Options& o, Line& l, std::ostream& out, std::ostream& err) {
    co_await CheckLine(l);
    Words words;
    co_await ReadTarget(l, TargetOf(o.args[0]), words);
    Correct(words, err);
    if (o.args.size() == 2) WriteFileWords(o.args[1], words);
    if (o.json) {
        std::string list, names;
        for (int k = 0; k < PNUM; ++k) {
            list += (k ? "," : "") + std::to_string(words[k]);
            names += std::string(k ? "," : "") + JsonString(kParameterNames[k]) + ":" +
                     std::to_string(words[k]);
        }
        out << "{\"target\":" << JsonString(o.args[0]) << ",\"words\":[" << list << "],\"names\":{"
            << names << "}}\n";
    } else if (o.args.size() == 1) {
        out << FileLayout(words);
    }
    co_return kCtlOk;
}

Task<int> Send(const Options& o, Line& l, std::ostream& out, std::ostream& err) {
    // The file is read whole before anything goes out: a bad file never half-writes a sensor.
    Words words;
    ReadFileWords(o.args[1], words);
    Correct(words, err);
    co_await CheckLine(l);
    // The trail keeps each word's value before the write as well as after it.
    AuditEntry entry;
    Words before;
    if (l.trail.Kept()) {
        entry = co_await EntryFor(l, "send-" + o.args[0]);
        co_await ReadTarget(l, TargetOf(o.args[0]), before);
    }
    const WriteCheck check = co_await WriteParameters(l.link, TargetOf(o.args[0]), words);
    if (l.trail.Kept()) {
        entry.changes = ChangedWords(before, words);
        entry.verified = check.replied && check.differing.empty();
        Keep(l, entry);
    }
    if (!check.replied) throw Failure{kCtlLink, "Timeout-RS-232..."};
    if (o.json) {
        std::string differs;
        for (int k : check.differing) {
            differs += std::string(differs.empty() ? "" : ",") +
                       "{\"name\":" + JsonString(kParameterNames[k]) +
                       ",\"sent\":" + std::to_string(words[k]) +
                       ",\"read\":" + std::to_string(check.readBack[k]) + "}";
        }
        out << "{\"target\":" << JsonString(o.args[0])
            << ",\"verified\":" << (check.differing.empty() ? "true" : "false") << ",\"differs\":["
            << differs << "]}\n";
    } else if (check.differing.empty()) {
        out << "verified\n";
    } else {
        for (int k : check.differing) out << kParameterNames[k] << "\n";
    }
    co_return check.differing.empty() ? kCtlOk : kCtlDiffers;
}

Task<int> Compare(const Options& o, Line& l, std::ostream& out) {
    Words sets[2];
    bool checked = false;
    for (int i = 0; i < 2; ++i) {
        const std::string& src = o.args[i];
        if (src == "ram" || src == "eeprom") {
            if (!checked) co_await CheckLine(l);
            checked = true;
            co_await ReadTarget(l, TargetOf(src), sets[i]);
        } else {
            ReadFileWords(src, sets[i]);
        }
    }
    std::vector<int> differing;
    for (int k = 0; k < PNUM; ++k)
        if (sets[0][k] != sets[1][k]) differing.push_back(k);
    if (o.json) {
        std::string list;
        for (int k : differing) {
            list += std::string(list.empty() ? "" : ",") + "{\"word\":" + std::to_string(k) +
                    ",\"name\":" + JsonString(kParameterNames[k]) +
                    ",\"first\":" + std::to_string(sets[0][k]) +
                    ",\"second\":" + std::to_string(sets[1][k]) + "}";
        }
        out << "{\"first\":" << JsonString(o.args[0]) << ",\"second\":" << JsonString(o.args[1])
            << ",\"differs\":[" << list << "]}\n";
    } else if (!differing.empty()) {
        char row[96];
        std::snprintf(row, sizeof row, "%-4s  %-8s  %8s  %8s\n", "word", "name", "first", "second");
        out << row;
        for (int k : differing) {
            std::snprintf(row, sizeof row, "%4d  %-8s  %8u  %8u\n", k, kParameterNames[k],
                          static_cast<unsigned>(sets[0][k]), static_cast<unsigned>(sets[1][k]));
            out << row;
        }
    }
    co_return differing.empty() ? kCtlOk : kCtlDiffers;
}

Task<int> Teach(const Options& o, Line& l, std::ostream& out) {
    co_await CheckLine(l);
    AuditEntry entry;
    Words before;
    if (l.trail.Kept()) {
        entry = co_await EntryFor(l, "teach");
        co_await ReadTarget(l, RAM, before);
    }
    bool taught = false;
    {
        // Sent with pp as it is, as the teach button does.
        Exchange teach(l.link);
        co_await teach.Write(protocol::kTeach, l.link.pp, Discard::kInThenOut);
        const Received reply = co_await teach.Frame(Tie::kReplyWins);
        taught = reply.ok();
    }
    if (!taught) {
        entry.detail = "no reply";
        if (l.trail.Kept()) Keep(l, entry);
        throw Failure{kCtlLink, "Timeout RS232-Line!"};
    }
    Words words;
    co_await ReadTarget(l, RAM, words);
    if (l.trail.Kept()) {
        entry.changes = ChangedWords(before, words);
        Keep(l, entry);
    }
    const ParameterSet& p = l.params;
    if (o.json)
        out << "{\"tValA\":" << p.tValA << ",\"tValB\":" << p.tValB << "}\n";
    else
        out << "tValA " << p.tValA << "\ntValB " << p.tValB << "\n";
    co_return kCtlOk;
}

Task<int> Reset(const Options& o, Line& l, std::ostream& out) {
    co_await CheckLine(l);
    AuditEntry entry;
    if (l.trail.Kept()) entry = co_await EntryFor(l, "reset");
    const bool reset = co_await ResetExtremes(l.link);
    if (l.trail.Kept()) {
        if (!reset) entry.detail = "no reply";
        Keep(l, entry);
    }
    if (!reset) throw Failure{kCtlLink, l.link.szStatus};
    if (o.json) out << "{}\n";
    co_return kCtlOk;
}

Task<int> Record(const Options& o, Line& l, std::ostream& out) {
    co_await CheckLine(l);
    // The measure commands carry the sensor's own set, as run mode's do after a connect.
    Words words;
    co_await ReadTarget(l, RAM, words);
    const long long k = o.alarmAfter >= 1 ? o.alarmAfter : 3;
    // A recording into a file has its alarms' events and what made it beside it, as the
    // program's has; the firmware text is read for it.
    RecordingInfo info;
    if (!o.csv.empty()) {
        co_await GetFirmwareInfo(l.link);
        info.program = std::string("qtor-ctl ") + kQtorVersion;
        info.port = "COM" + std::to_string(l.link.com);
        info.device = PortTableDevice(l.link.com);
        info.firmware = l.link.szVersion;
        info.started = RecordTimeText(std::chrono::system_clock::now());
        info.alarmAfter = k;
        info.parameters.push_back({info.started, "start", {}});
        std::copy(words, words + PNUM, info.parameters.back().words.begin());
    }
    Table table(o, out, RecordColumns());
    CsvAppender events;
    std::string error;
    if (!o.csv.empty() &&
        (!events.Open(EventsPathFor(o.csv), AlarmEventsCsvHeader(), false, &error) ||
         !WriteRecordingInfo(InfoPathFor(o.csv), info, &error)))
        throw Failure{kCtlFile, error};
    AlarmDetector alarms[2] = {AlarmDetector("A", k), AlarmDetector("B", k)};
    auto event = [&events](const std::optional<AlarmEvent>& e) {
        if (e && events.IsOpen() && !events.Add(AlarmEventCsvRow(*e)))
            throw Failure{kCtlFile, "events file could not be written"};
    };
    for (long long i = 0; i < o.count; ++i) {
        CopyVarsToPP(l.params, l.link.pp);
        co_await Measure(l, Tie::kReplyWins);
        std::string row = RecordCsvRow(std::chrono::system_clock::now(), i, l.link.pp);
        row.pop_back();  // the line break
        std::vector<std::string> cells;
        std::stringstream split(row);
        for (std::string cell; std::getline(split, cell, ',');) cells.push_back(cell);
        table.Row(cells);
        const RecordSamples samples(l.link.pp);
        event(alarms[0].Add(i, cells[0], samples.a).ended);
        event(alarms[1].Add(i, cells[0], samples.b).ended);
    }
    for (AlarmDetector& a : alarms) event(a.Finish());
    table.Finish();
    if (events.IsOpen() && !events.Close())
        throw Failure{kCtlFile, "events file could not be written"};
    co_return kCtlOk;
}

Task<int> Video(const Options& o, Line& l, std::ostream& out) {
    co_await CheckLine(l);
    Table table(o, out, {"cycle", "pixel", "A", "B"});
    for (long long cycle = 0; cycle < o.count; ++cycle) {
        // pp is sent as it is: the record of the previous cycle, as video mode does.
        co_await Measure(l, Tie::kTimeOutWins);
        co_await ReadBlocks(l, VideoBlocks());
        for (int i = 0; i < MAXPOINT; ++i) {
            table.Row({std::to_string(cycle), std::to_string(8 * i),
                       std::to_string(l.plots.adcbufA[i]), std::to_string(l.plots.adcbufB[i])});
        }
    }
    table.Finish();
    co_return kCtlOk;
}

Task<int> Buffer(const Options& o, Line& l, std::ostream& out) {
    co_await CheckLine(l);
    co_await Measure(l, Tie::kTimeOutWins);
    co_await ReadBlocks(l, BufferBlocks());
    PlotArrays& plots = l.plots;
    RingOrder(plots.databuf, plots.newbuf);
    Table table(o, out, {"index", "value"});
    for (int i = 0; i < MAXPOINT; ++i) {
        table.Row({std::to_string(i), std::to_string(static_cast<unsigned>(
                                          static_cast<std::uint16_t>(plots.newbuf[i])))});
    }
    table.Finish();
    co_return kCtlOk;
}

// monitor --record: the live records into a recording, their alarms' events beside it.
class RecordingOfMonitor final : public RecordConsumer {
  public:
    explicit RecordingOfMonitor(long long alarmAfter)
        : alarms_{AlarmDetector("A", alarmAfter), AlarmDetector("B", alarmAfter)} {}
    bool Open(const std::string& path, std::string* error) {
        return rows_.Open(path, true, error) &&
               events_.Open(EventsPathFor(path), AlarmEventsCsvHeader(), true, error);
    }
    bool IsOpen() const { return rows_.IsOpen(); }
    // The index the next record gets: rows go on across a lost line.
    long long Next() const { return rows_.Count(); }
    void Take(const ::Record& r) override {
        if (!rows_.IsOpen()) return;
        if (!rows_.Add(r.time, r.words.data())) Fail();
        const RecordSamples samples(r.words.data());
        Event(alarms_[0].Add(r.index, r.time, samples.a).ended);
        Event(alarms_[1].Add(r.index, r.time, samples.b).ended);
    }
    void RunEnded() override {
        for (AlarmDetector& a : alarms_) Event(a.Finish());
        if (rows_.IsOpen() && !rows_.Close()) Fail();
        if (events_.IsOpen() && !events_.Close()) Fail();
    }
    const std::string& Failed() const { return failed_; }

  private:
    void Event(const std::optional<AlarmEvent>& e) {
        if (e && events_.IsOpen() && !events_.Add(AlarmEventCsvRow(*e))) Fail();
    }
    void Fail() {
        if (failed_.empty()) failed_ = rows_.Path() + ": recording could not be written";
    }
    RecordWriter rows_;
    CsvAppender events_;
    std::array<AlarmDetector, 2> alarms_;
    std::string failed_;
};

// Sleeps `seconds`, less once a termination is asked for.
Task<> Rest(Line& l, double seconds, const bool& stop) {
    for (double t = 0; t < seconds && !stop; t += 0.2) co_await l.link.Pause(0.2);
}

// Run mode until SIGINT or SIGTERM, as one run: a line that fails is an event, and the sensor
// is connected again once a second until it answers.
Task<int> Monitor(Line& l, PlantLink& plant, RecordingOfMonitor& recording, std::ostream& err) {
    bool stop = false;
    OnTerminationRequest([&stop] { stop = true; });
    RecordStream records;
    records.Register(&plant);
    records.Register(&recording);
    records.RunStarted();
    long long index = 0;
    std::string said;
    while (!stop) {
        std::string failure;
        try {
            co_await CheckLine(l);
            Words words;
            co_await ReadTarget(l, RAM, words);
            co_await GetFirmwareInfo(l.link);
            plant.LinkChanged({LinkHealth::kConnected, l.link.com, l.link.szVersion});
            plant.ParametersRead(words);
            if (!said.empty()) err << "qtor-ctl: " << l.link.szVersion << "\n";
            said.clear();
            while (!stop && recording.Failed().empty()) {
                CopyVarsToPP(l.params, l.link.pp);
                co_await Measure(l, Tie::kReplyWins);
                ::Record r;
                std::copy(l.link.pp, l.link.pp + PNUM, r.words.begin());
                const auto now = std::chrono::system_clock::now();
                r.index = recording.IsOpen() ? recording.Next() : index;
                ++index;
                r.time = RecordTimeText(now);
                r.timeMs =
                    std::chrono::duration<double, std::milli>(now.time_since_epoch()).count();
                records.Hand(r);
                records.Show();
            }
        } catch (const Failure& f) {
            failure = f.message;
        }
        if (!recording.Failed().empty()) break;
        if (stop) break;
        plant.LinkChanged({LinkHealth::kNoReply, l.link.com, failure});
        // Said once while the sensor stays away, not once a second.
        if (failure != said) err << "qtor-ctl: " << failure << "\n";
        said = failure;
        l.link.CloseLine();
        co_await Rest(l, 1.0, stop);
    }
    records.RunEnded();
    OnTerminationRequest({});
    if (!recording.Failed().empty()) {
        err << "qtor-ctl: " << recording.Failed() << "\n";
        co_return kCtlFile;
    }
    co_return kCtlOk;
}

// The command named on the command line, on the line; a failure says why and gives its status.
Task<int> RunCommand(const Options& o, Line& l, std::ostream& out, std::ostream& err) {
    try {
        const std::string& c = o.command;
        if (c == "info") co_return co_await Info(o, l, out);
        if (c == "get") co_return co_await Get(o, l, out, err);
        if (c == "send") co_return co_await Send(o, l, out, err);
        if (c == "compare") co_return co_await Compare(o, l, out);
        if (c == "teach") co_return co_await Teach(o, l, out);
        if (c == "reset") co_return co_await Reset(o, l, out);
        if (c == "record") co_return co_await Record(o, l, out);
        if (c == "video") co_return co_await Video(o, l, out);
        if (c == "buffer") co_return co_await Buffer(o, l, out);
    } catch (const Failure& f) {
        err << "qtor-ctl: " << f.message << "\n";
        co_return f.status;
    }
    co_return kCtlOk;
}

// The port number the command talks to: a number as the program numbers its ports, or a
// device path put on port 1.
int ResolvePort(const Options& o) {
    if (o.demo) {
        PortTableSetSimulated(1, true);
        return 1;
    }
    if (o.port.empty()) return 1;
    long long n = 0;
    if (ParseCount(o.port, &n)) return static_cast<int>(std::min<long long>(n, 1 << 20));
    PortTableSetDevice(1, o.port);
    return 1;
}

constexpr const char* kLockedText = "Locked: maintenance key needed";

// The key given with --key-file against the key in force. Empty: the command may go on;
// otherwise why not, said on standard error before status 5.
std::string Refusal(const Options& o, const StoredKey& stored, const AuditTrail& trail) {
    if (!stored.problem.empty()) return stored.problem;
    if (o.keyFile.empty()) return kLockedText;
    std::string key, why;
    if (!ReadKeyFile(o.keyFile, &key, &why)) return why;
    if (KeyMatches(stored, key)) return {};
    AuditEntry e = AuditNow("wrong-key");
    e.program = std::string("qtor-ctl ") + kQtorVersion;
    e.detail = o.command;
    if (trail.Kept()) trail.Append(e, &why);  // refused either way
    return kLockedText;
}

std::string SettingsFile(const std::string& name) {
    return (std::filesystem::path(SettingsFolder()) / name).string();
}

// One line of a key: from the terminal without echo, else a line of `in`.
bool ReadKey(std::istream& in, const std::string& prompt, std::string* key) {
    if (&in == &std::cin && StandardInputIsTerminal()) return ReadSecretFromTerminal(prompt, key);
    if (!std::getline(in, *key)) return false;
    if (!key->empty() && key->back() == '\r') key->pop_back();
    return true;
}

int Lock(const Options& o, std::istream& in, std::ostream& err) {
    const KeyFiles files = KeyFilesInForce();
    const StoredKey stored = LoadKey(files);
    if (stored.Set()) {
        const std::string why = Refusal(o, stored, AuditTrail());
        if (!why.empty()) {
            err << "qtor-ctl: " << why << "\n";
            if (why != kLockedText) err << "qtor-ctl: " << kLockedText << "\n";
            return kCtlLocked;
        }
    }
    // The administrator keeps the system-wide key; anybody else the own one, which a
    // system-wide key overrides.
    const std::string file = RunningAsAdministrator() ? files.system : files.user;
    if (!RunningAsAdministrator() && stored.file == files.system) {
        err << "qtor-ctl: the system-wide key is in force: only root can change it\n";
        return kCtlFile;
    }
    std::string error;
    if (o.args[0] == "clear") {
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) {
            err << "qtor-ctl: no key is set\n";
            return kCtlOk;
        }
        if (!std::filesystem::remove(file, ec)) {
            err << "qtor-ctl: " << file << ": cannot be removed\n";
            return kCtlFile;
        }
        return kCtlOk;
    }
    std::string key, again;
    if (!ReadKey(in, "New maintenance key: ", &key)) {
        err << "qtor-ctl: no key given\n";
        return kCtlUsage;
    }
    if (&in == &std::cin && StandardInputIsTerminal() &&
        (!ReadSecretFromTerminal("The key again: ", &again) || again != key)) {
        err << "qtor-ctl: the keys differ; nothing changed\n";
        return kCtlUsage;
    }
    if (key.size() < 6) {
        err << "qtor-ctl: a key needs at least 6 characters\n";
        return kCtlUsage;
    }
    if (!StoreKey(file, key, &error)) {
        err << "qtor-ctl: " << error << "\n";
        return kCtlFile;
    }
    return kCtlOk;
}

int VerifyAudit(const Options& o, std::ostream& out, std::ostream& err) {
    const AuditCheck c = VerifyAuditTrail(o.args[1]);
    if (c.ok) {
        if (o.json)
            out << R"({"verified":true,"entries":)" << c.lines
                << ",\"last_hash\":" << JsonString(c.lastHash) << "}\n";
        else
            out << "verified " << c.lines << " entries, last line's hash " << c.lastHash << "\n";
        return kCtlOk;
    }
    if (c.brokenAt == 0) {
        err << "qtor-ctl: " << o.args[1] << ": " << c.why << "\n";
        return kCtlFile;
    }
    if (o.json)
        out << R"({"verified":false,"line":)" << c.brokenAt << ",\"why\":" << JsonString(c.why)
            << "}\n";
    err << "qtor-ctl: " << o.args[1] << " line " << c.brokenAt << ": " << c.why << "\n";
    return kCtlDiffers;
}

// The plant link's settings from the options; the password only ever from its file.
bool PlantSettingsOf(const Options& o, int port, PlantSettings* p, std::string* why) {
    p->url = o.mqtt;
    const std::string device = PortTableDevice(port);
    const std::string portName =
        o.demo ? "demo"
               : (device.empty() ? "COM" + std::to_string(port)
                                 : std::filesystem::path(device).filename().string());
    p->station = o.station.empty() ? DefaultStationName(portName) : o.station;
    p->credentials.user = o.mqttUser;
    p->credentials.caFile = o.mqttCa;
    p->credentials.certFile = o.mqttCert;
    p->credentials.keyFile = o.mqttKey;
    if (!o.mqttPasswordFile.empty()) {
        std::string error;
        if (!ReadKeyFile(o.mqttPasswordFile, &p->credentials.password, &error)) {
            *why = o.mqttPasswordFile + ": " +
                   (error.find("others may read") != std::string::npos
                        ? "others may read it (chmod 600)"
                        : "no password file");
            return false;
        }
    }
    p->queueFolder = SettingsFolder();
    return true;
}

int RunMonitor(const Options& o, Line& l, std::ostream& err) {
    PlantSettings settings;
    std::string why;
    if (!PlantSettingsOf(o, l.link.com, &settings, &why)) {
        err << "qtor-ctl: " << why << "\n";
        return kCtlFile;
    }
    RecordingOfMonitor recording(o.alarmAfter >= 1 ? o.alarmAfter : 3);
    if (!o.record.empty() && !recording.Open(o.record, &why)) {
        err << "qtor-ctl: " << why << "\n";
        return kCtlFile;
    }
    PlantLink plant(std::string("qtor-ctl ") + kQtorVersion);
    plant.alarmAfter = [&o] { return o.alarmAfter >= 1 ? o.alarmAfter : 3; };
    std::string shown;
    plant.stateChanged = [&plant, &shown, &err] {
        // The state and its reason, not every second of a countdown.
        std::string text = plant.StateText();
        if (plant.GetState() == PlantLink::State::kRetrying)
            text = "MQTT: retrying: " + text.substr(text.find(": ", 6) + 2);
        if (text != shown && !text.empty()) err << "qtor-ctl: " << plant.StateText() << "\n";
        shown = text;
    };
    if (!plant.Start(settings, &why)) {
        err << "qtor-ctl: " << why << "\n";
        return kCtlUsage;
    }
    const int status = RunTask(Monitor(l, plant, recording, err));
    plant.Stop();
    l.link.CloseLine();
    l.link.trace.Stop();
    return status;
}

}  // namespace

int RunCtl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunCtl(args, std::cin, out, err);
}

int RunCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            out << kCtlUsageText;
            return kCtlOk;
        }
        if (a == "--version") {
            out << "qtor-ctl " << kQtorVersion << "\n";
            return kCtlOk;
        }
    }
    Options o;
    std::string why;
    if (!Parse(args, &o, &why)) {
        err << "qtor-ctl: " << why << "\n" << kCtlUsageText;
        return kCtlUsage;
    }
    // A recording is all stats and report need: no port, no trace.
    if (o.command == "stats") {
        const StatsRequest request{o.args[0], std::max(o.last, 0LL),
                                   o.alarmAfter >= 1 ? o.alarmAfter : 3, o.json};
        return RunStats(request, out, err);
    }
    if (o.command == "report") {
        const ReportRequest request{o.args[0], o.pdf, o.title,
                                    o.alarmAfter >= 1 ? o.alarmAfter : 3};
        return RunReportProgram(request, out, err);
    }
    if (o.command == "lock") return Lock(o, in, err);
    if (o.command == "audit") return VerifyAudit(o, out, err);
    // A change to a sensor: behind the key when one is set, and into the trail before it is
    // said to be done; a trail that cannot take it stops it before anything is sent.
    AuditTrail trail;
    if (o.command == "send" || o.command == "teach" || o.command == "reset") {
        const StoredKey stored = LoadKey(KeyFilesInForce());
        if (!o.audit.empty() || stored.Set())
            trail = AuditTrail(o.audit.empty() ? SettingsFile("audit.jsonl") : o.audit);
        if (stored.Set()) {
            why = Refusal(o, stored, trail);
            if (!why.empty()) {
                if (why != kLockedText) err << "qtor-ctl: " << why << "\n";
                err << "qtor-ctl: " << kLockedText << "\n";
                return kCtlLocked;
            }
        }
        if (trail.Kept() && !trail.Ready(&why)) {
            err << "qtor-ctl: audit trail cannot be written, nothing sent: " << why << "\n";
            return kCtlFile;
        }
    }
    Line l(ResolvePort(o));
    l.trail = trail;
    if (o.command == "monitor") return RunMonitor(o, l, err);
    // A file that exists is somebody's data, as for a recording.
    if (!o.trace.empty() && !l.link.StartTrace(o.trace, true, &why)) {
        err << "qtor-ctl: trace " << why << "\n";
        return kCtlFile;
    }
    const int status = RunTask(RunCommand(o, l, out, err));
    out.flush();
    l.link.CloseLine();
    l.link.trace.Stop();
    return status;
}
