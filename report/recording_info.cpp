#include "recording_info.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

// An information file is a few kilobytes; one far larger is no such file.
constexpr qint64 kLargestInfo = 16 << 20;

std::string Text(const QJsonValue& v) {
    if (v.isString()) return v.toString().toStdString();
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d == static_cast<double>(static_cast<qint64>(d))) return std::to_string(v.toInteger());
        return QString::number(d).toStdString();
    }
    if (v.isBool()) return v.toBool() ? "true" : "false";
    return "";
}

}  // namespace

std::optional<InfoSummary> ReadInfoSummary(const std::string& path, std::string* why) {
    QFile file(QString::fromStdString(path));
    const QFileInfo about(file);
    if (!about.exists()) {
        *why = "missing";
        return std::nullopt;
    }
    if (!about.isFile() || about.size() > kLargestInfo || !file.open(QIODevice::ReadOnly)) {
        *why = "cannot be read";
        return std::nullopt;
    }
    const QByteArray text = file.readAll();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        *why = doc.isNull() ? "damaged: " + error.errorString().toStdString() + " at byte " +
                                  std::to_string(error.offset)
                            : "damaged: not an object";
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    InfoSummary info;
    info.program = Text(root["program"]);
    info.port = Text(root["port"]);
    info.device = Text(root["device"]);
    info.firmware = Text(root["firmware"]);
    info.started = Text(root["started"]);
    if (root["alarm_after"].isDouble()) info.alarmAfter = root["alarm_after"].toInteger();
    const QJsonArray sets = root["parameters"].toArray();
    if (!sets.isEmpty()) {
        const QJsonObject first = sets.first().toObject()["set"].toObject();
        for (auto it = first.begin(); it != first.end(); ++it)
            info.parameters.emplace_back(it.key().toStdString(), Text(it.value()));
        // A JSON object comes back with its names sorted; the file lists the set in word order,
        // which the place each name first appears in the text keeps.
        const auto at = [&text](const std::string& name) {
            const qsizetype i = text.indexOf(QByteArray::fromStdString("\"" + name + "\""));
            return i < 0 ? text.size() : i;
        };
        std::stable_sort(info.parameters.begin(), info.parameters.end(),
                         [&](const auto& a, const auto& b) { return at(a.first) < at(b.first); });
        info.laterWrites = sets.size() - 1;
    }
    return info;
}
