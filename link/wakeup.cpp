#include "wakeup.h"

#include "event_loop.h"

Wakeup::~Wakeup() { Forget(); }

void Wakeup::Forget() {
    if (timer_) CancelCall(timer_);
    timer_ = 0;
    waiting_ = {};
}

void Wakeup::Resume(unsigned generation) {
    if (!waiting_ || generation != generation_) return;
    const std::coroutine_handle<> h = waiting_;
    Forget();
    h.resume();
}

// News may come while nobody waits, or for an earlier wait: whoever waits when it is delivered
// looks again, which costs a look and loses nothing.
void Wakeup::Poke() {
    if (pokePosted_) return;
    pokePosted_ = true;
    PostToEventLoop([alive = std::weak_ptr<Wakeup*>(self_)] {
        const auto self = alive.lock();
        if (!self) return;
        Wakeup& w = **self;
        w.pokePosted_ = false;
        w.Resume(w.generation_);
    });
}

Wakeup::Awaiter::~Awaiter() {
    if (generation_ != 0 && w_.generation_ == generation_) w_.Forget();
}

void Wakeup::Awaiter::await_suspend(std::coroutine_handle<> h) {
    w_.Forget();  // one step waits at a time
    w_.waiting_ = h;
    generation_ = ++w_.generation_;
    w_.timer_ = CallAfter(seconds_, [alive = std::weak_ptr<Wakeup*>(w_.self_), g = generation_] {
        const auto self = alive.lock();
        if (!self) return;
        (*self)->timer_ = 0;
        (*self)->Resume(g);
    });
}
