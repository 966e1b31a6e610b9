#include "record_info.h"

#include <cstdio>
#include <filesystem>

#include "json_text.h"
#include "record_csv.h"

std::string RecordingInfoJson(const RecordingInfo& info) {
    std::string sets;
    for (const RecordingInfo::Set& s : info.parameters) {
        std::string words;
        for (int k = 0; k < PNUM; ++k)
            words += std::string(k ? ", " : "") + JsonString(kParameterNames[k]) + ": " +
                     std::to_string(s.words[static_cast<std::size_t>(k)]);
        sets += std::string(sets.empty() ? "" : ",\n") + "    {\"time\": " + JsonString(s.time) +
                ", \"target\": " + JsonString(s.target) + ",\n     \"set\": {" + words + "}}";
    }
    return "{\n  \"program\": " + JsonString(info.program) +
           ",\n  \"port\": " + JsonString(info.port) +
           ",\n  \"device\": " + JsonString(info.device) +
           ",\n  \"firmware\": " + JsonString(info.firmware) +
           ",\n  \"started\": " + JsonString(info.started) +
           ",\n  \"alarm_after\": " + std::to_string(info.alarmAfter) + ",\n  \"parameters\": [\n" +
           sets + "\n  ]\n}\n";
}

bool WriteRecordingInfo(const std::string& path, const RecordingInfo& info, std::string* error) {
    const std::string text = RecordingInfoJson(info);
    const std::string temporary = path + ".new";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f) ok = std::fclose(f) == 0 && ok;
    std::error_code ec;
    if (ok) std::filesystem::rename(temporary, path, ec);
    if (!ok || ec) {
        std::filesystem::remove(temporary, ec);
        *error = path + ": cannot be written";
        return false;
    }
    return true;
}
