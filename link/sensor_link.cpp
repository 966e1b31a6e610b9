#include "sensor_link.h"

#include "rs232.h"

SensorLink::SensorLink(int port) : com(port) {}

SensorLink::~SensorLink() {
    // A notification left behind would call into a link that is gone.
    RemoveRxNotification();
    CloseCom(com);
}

void SensorLink::SetStatus(const char* text) { CopyStatusText(szStatus, text); }

void SensorLink::ShowStatus(const char* text) const {
    if (views.status) views.status(text);
}

void SensorLink::ReportLink(LinkHealth health, int port, const std::string& detail) {
    if (health_.health == health && health_.port == port && health_.detail == detail) return;
    health_ = {health, port, detail};
    if (views.health) views.health(health_);
}

void SensorLink::ReportReply() {
    if (health_.health == LinkHealth::kNoReply && health_.port == com)
        ReportLink(LinkHealth::kConnected, com, szVersion);
}
