// Where a step of an activity waits for news of its line: a reply taken, bytes arrived, a stop
// pressed, a device lost, or a moment passed. One step waits at a time on a link (one exchange
// at a time); the news resumes it from the event loop, never from inside whoever brought it.
#pragma once

#include <coroutine>
#include <memory>

class Wakeup {
  public:
    Wakeup() = default;
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    // co_await Next(seconds): suspends until Poke() or until `seconds` have passed on Timer().
    // The caller looks again at what it waits for: news may be of something else.
    class Awaiter {
      public:
        Awaiter(Wakeup& w, double seconds) : w_(w), seconds_(seconds) {}
        Awaiter(const Awaiter&) = delete;
        Awaiter& operator=(const Awaiter&) = delete;
        // A frame destroyed while it waits forgets its wait.
        ~Awaiter();
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> h);
        void await_resume() noexcept {}

      private:
        Wakeup& w_;
        double seconds_;
        unsigned generation_ = 0;
    };
    Awaiter Next(double seconds) { return Awaiter(*this, seconds); }

    // The step that waits looks again, from the event loop.
    void Poke();
    bool Waiting() const { return static_cast<bool>(waiting_); }

  private:
    void Resume(unsigned generation);
    void Forget();

    std::coroutine_handle<> waiting_;
    unsigned generation_ = 0;
    int timer_ = 0;
    bool pokePosted_ = false;
    // Work posted to the event loop checks that its wakeup still lives.
    std::shared_ptr<Wakeup*> self_ = std::make_shared<Wakeup*>(this);
};
