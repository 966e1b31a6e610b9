// One sensor's line: its port, the packet `pp` and the frames written and received, the status
// and firmware texts, the state of the line in words, and the rule that one exchange at a time
// is under way, with the queue of actions pressed meanwhile. Two links share nothing: two
// sensors on two ports run side by side.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link_state.h"
#include "model.h"
#include "task.h"
#include "trace.h"
#include "wakeup.h"

// Which queues a command discards before it is written, in that order.
enum class Discard { kNone, kInThenOut, kOutThenIn };

enum class ActionKind {
    kAction,  // a single exchange or sequence: teach, reset, send, get, connect, data buffer
    kMode,    // a mode that runs until stopped: run, video
};

// An activity on the line, made when its turn comes.
using Activity = std::function<Task<>()>;

// Where the link's outcomes are shown. The link knows nothing of panels: its owner installs
// these, and a link without them shows nothing.
struct LinkViews {
    std::function<void(const char*)> status;        // the status line
    std::function<void(const LinkStatus&)> health;  // the state of the line, on each change
    // A parameter read: range-correct and show the set, then draw the tolerance window.
    std::function<void()> showParameters;
    std::function<void()> drawToleranceWindow;
    // A line check has chosen RAM as the parameter target.
    std::function<void()> selectRamTarget;
    // A parameter set went out to the sensor, to RAM or EEPROM (a recording notes it).
    std::function<void(int target, const std::uint16_t* words)> parametersWritten;
};

class SensorLink {
  public:
    // A link to port `port` (its `com`) with the start values; nothing is opened yet.
    explicit SensorLink(int port = 1);
    // Removes its receive notification and closes its port.
    ~SensorLink();
    SensorLink(const SensorLink&) = delete;
    SensorLink& operator=(const SensorLink&) = delete;

    int com;                                  // serial port number
    int sync = 85;                            // its low 16 bits start every command frame
    std::uint16_t pp[PNUM] = {};              // the packet: a frame's payload, sent or received
    std::uint8_t szWriteBuf[1024] = {};       // a command frame uses the first 36 bytes
    std::uint8_t szReadBuf[1024] = {};        // the last reply read
    int nBytesR = 0;                          // byte count of the last direct read
    double tstart = 0.0, tdiff = 0.0;         // start and length of the current wait
    char szStatus[kStatusSize] = "InitVars";  // an outcome, until shown
    char szVersion[kStatusSize] = {};         // the firmware text
    LinkViews views;
    // The protocol trace of this link's line, whichever port it is on.
    ComTrace trace;
    // Starts the trace into `path` and traces the port from now on; false with *error.
    bool StartTrace(const std::string& path, bool refuseExisting, std::string* error);

    // Keeps `text` (cut to 71 characters) as the outcome in szStatus.
    void SetStatus(const char* text);
    // Shows `text` at once on the status line.
    void ShowStatus(const char* text) const;

    const LinkStatus& Health() const { return health_; }
    // Sets the state of the line; the view hears of it only when it differs.
    void ReportLink(LinkHealth health, int port, const std::string& detail);
    // A reply came: a line that had timed out is connected again.
    void ReportReply();

    // Builds the 36-byte command frame in szWriteBuf: sync word, order, 16 words, big-endian.
    void FillTxBuf(std::uint16_t order, const std::uint16_t* words);
    // Decodes words 0..count-1 from szReadBuf bytes 4 onward into pp.
    void GetRxBuf(int count);
    // Writes the frame in szWriteBuf to the port; returns the count written.
    int WriteFrame();
    // The receive notification (callback data: the link): reads the whole frame that has
    // arrived into szReadBuf and pp.
    static void RX_Receive_Function(int portNumber, int eventMask, void* callbackData);
    void InstallRxNotification();
    void RemoveRxNotification();
    // Frames the receive notification has taken so far.
    unsigned long FramesReceived() const { return frames_; }

    // A frame the program wrote is never thrown away by the program: every discard of the
    // output queue, and every close, first waits until the frame written last has crossed the
    // line (the device drained and the frame's line time passed; pseudo-terminals and many USB
    // adapters report "drained" while the bytes are still on their way). A reply says it has.
    Task<> AwaitFrameCrossed();
    void FrameAnswered();
    Task<> DiscardOutput();
    Task<> DiscardQueues(Discard order);
    // Discards the input queue, then the output queue (the order most commands use).
    Task<> FlushQueues();
    // Closes the port once the frame written last has crossed; an exchange waiting ends.
    Task<> CloseLineAfterFrame();
    // The same, waiting without the event loop: at shutdown, where nothing else is to run.
    void CloseLine();
    // Lets the event loop have its turn before the activity goes on.
    Task<> Yield();
    // A pause of `seconds` on the line's clock (an EEPROM storing), the line free for nobody else.
    Task<> Pause(double seconds);

    // The step waiting on this line looks again (a stop was asked for).
    void Wake() { wake_.Poke(); }

    // True while an exchange awaits its reply.
    bool LineBusy() const { return busy_; }
    bool ModeRunning() const { return modes_ > 0; }
    // True while an activity runs on the line or one waits for its turn.
    bool Active() const { return running_ || !queue_.empty(); }
    // The key the activity under way was started with ("run", "video", ...); empty when none.
    const std::string& ActivityKey() const { return activityKey_; }
    // Starts `activity` now when no other runs on the line; otherwise it waits for its turn.
    // One queued under the same key replaces the earlier one (the last port picked wins).
    // Modes are never started from inside another activity.
    void WhenLineFree(const std::string& key, ActionKind kind, Activity activity);
    // Carries out the actions (not the modes) waiting for their turn; a mode awaits it between
    // two cycles.
    Task<> ServeQueuedActions();
    // True while an action (not a mode) waits for its turn.
    bool ActionsWaiting() const {
        return std::ranges::any_of(queue_,
                                   [](const Queued& q) { return q.kind == ActionKind::kAction; });
    }
    // Forgets the activities waiting for their turn.
    void DropQueued() { queue_.clear(); }
    // Calls `fn` once no activity runs on the line (now, if none does).
    void WhenIdle(std::function<void()> fn);
    // Ends the activity under way at once (its frame destroyed) and forgets the waiting ones.
    void CancelActivities();

  private:
    friend class Exchange;
    friend class ModeScope;

    struct Queued {
        std::string key;
        ActionKind kind;
        Activity activity;
    };
    void Run(const std::string& key, const Activity& activity);
    void ActivityEnded();
    void PostDrain();

    bool busy_ = false;
    int modes_ = 0;
    bool running_ = false;
    std::string activityKey_;
    bool drainPosted_ = false;
    std::vector<Queued> queue_;
    Task<> current_;
    std::vector<std::function<void()>> whenIdle_;
    Wakeup wake_;
    int lostHandler_ = 0;
    double crossedAt_ = 0.0;  // when the frame written last will have crossed the line
    unsigned long frames_ = 0;
    LinkStatus health_;
    // Work posted to the event loop checks that its link still lives.
    std::shared_ptr<SensorLink*> self_ = std::make_shared<SensorLink*>(this);
};
