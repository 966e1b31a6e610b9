#include "link_state.h"

#include "model.h"

namespace {

LinkStatus g_status;
void (*g_view)(const LinkStatus&) = nullptr;

}  // namespace

const LinkStatus& CurrentLinkStatus() { return g_status; }

void SetLinkStatusView(void (*show)(const LinkStatus&)) { g_view = show; }

void ReportLink(LinkHealth health, int port, const std::string& detail) {
    if (g_status.health == health && g_status.port == port && g_status.detail == detail) return;
    g_status = {health, port, detail};
    if (g_view) g_view(g_status);
}

void ReportReply(int port) {
    if (g_status.health == LinkHealth::kNoReply && g_status.port == port)
        ReportLink(LinkHealth::kConnected, port, line.szVersion);
}

void ResetLinkStatus() { g_status = LinkStatus{}; }
