#include "sensor_link.h"

#include <algorithm>

#include "event_loop.h"
#include "rs232.h"

SensorLink::SensorLink(int port) : com(port) {
    // A step waiting for a device that vanished need not wait out its time-out.
    lostHandler_ = OnComDeviceLost([alive = std::weak_ptr<SensorLink*>(self_)](int lost) {
        if (const auto self = alive.lock(); self && (*self)->com == lost) (*self)->wake_.Poke();
    });
}

SensorLink::~SensorLink() {
    // The activities' frames refer to the link: they go first.
    CancelActivities();
    RemoveComDeviceLostHandler(lostHandler_);
    // A notification left behind would call into a link that is gone.
    RemoveRxNotification();
    CloseCom(com);
}

bool SensorLink::StartTrace(const std::string& path, bool refuseExisting, std::string* error) {
    if (!trace.Start(path, refuseExisting, error)) return false;
    SetComTrace(com, &trace);
    return true;
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

void SensorLink::WhenLineFree(const std::string& key, ActionKind kind, Activity activity) {
    // In turn: an activity pressed while others wait for theirs goes behind them.
    if (!running_ && queue_.empty()) {
        Run(key, activity);
        return;
    }
    std::erase_if(queue_, [&key](const Queued& q) { return q.key == key; });
    queue_.push_back({key, kind, std::move(activity)});
    PostDrain();
}

void SensorLink::Run(const std::string& key, const Activity& activity) {
    running_ = true;
    activityKey_ = key;
    current_ = activity();
    current_.Start([this] { ActivityEnded(); });
}

void SensorLink::ActivityEnded() {
    running_ = false;
    activityKey_.clear();
    current_.Result();  // an activity that threw ends the program, as a callback's throw would
    current_.Reset();   // it has ended: its frame goes
    PostDrain();
    const auto idle = std::move(whenIdle_);
    whenIdle_.clear();
    for (const auto& fn : idle) fn();
}

// The next activity starts from the event loop, not from inside the end of the last one.
void SensorLink::PostDrain() {
    if (drainPosted_ || queue_.empty()) return;
    drainPosted_ = true;
    PostToEventLoop([alive = std::weak_ptr<SensorLink*>(self_)] {
        const auto self = alive.lock();
        if (!self) return;
        SensorLink& link = **self;
        link.drainPosted_ = false;
        if (link.running_ || link.queue_.empty()) return;
        const Queued next = std::move(link.queue_.front());
        link.queue_.erase(link.queue_.begin());
        link.Run(next.key, next.activity);
    });
}

Task<> SensorLink::ServeQueuedActions() {
    for (;;) {
        const auto it = std::find_if(queue_.begin(), queue_.end(),
                                     [](const Queued& q) { return q.kind == ActionKind::kAction; });
        if (it == queue_.end()) co_return;
        const Activity activity = std::move(it->activity);
        queue_.erase(it);
        Task<> action = activity();
        co_await std::move(action);
    }
}

void SensorLink::WhenIdle(std::function<void()> fn) {
    if (!running_) {
        fn();
        return;
    }
    whenIdle_.push_back(std::move(fn));
}

void SensorLink::CancelActivities() {
    queue_.clear();
    whenIdle_.clear();
    current_.Reset();
    running_ = false;
    activityKey_.clear();
}
