// A coroutine task: an activity on a sensor's line written as the steps it takes, suspended
// where it waits (for a reply, a time-out, a pause) and resumed from the event loop, so nothing
// waits by pumping events inside a callback.
//
// A task starts when it is awaited by another task (which goes on when it ends, with its
// result or its exception) or when its owner starts it (Start, with a call at its end).
// Destroying a task destroys a suspended frame with everything it holds: an activity is
// cancelled by dropping it. A coroutine lambda must not capture: its captures live in the
// lambda, not in the frame; a plain lambda that calls a coroutine function is the way.
#pragma once

#include <coroutine>
#include <exception>
#include <functional>
#include <optional>
#include <utility>

template <typename T = void>
class Task;

namespace task_detail {

struct PromiseBase {
    std::coroutine_handle<> continuation;  // the task awaiting this one
    std::function<void()> onDone;          // a started task: its owner hears of its end
    std::exception_ptr error;

    struct Final {
        bool await_ready() const noexcept { return false; }
        template <typename P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) const noexcept {
            PromiseBase& p = h.promise();
            if (p.continuation) return p.continuation;
            // The owner may destroy the frame now: it is suspended, and nothing here touches it
            // any more. An exception is the owner's to take, with Result().
            if (p.onDone) std::exchange(p.onDone, nullptr)();
            return std::noop_coroutine();
        }
        void await_resume() const noexcept {}
    };

    std::suspend_always initial_suspend() const noexcept { return {}; }
    Final final_suspend() const noexcept { return {}; }
    void unhandled_exception() noexcept { error = std::current_exception(); }
};

template <typename Promise>
class TaskBase {
  public:
    using Handle = std::coroutine_handle<Promise>;

    TaskBase() = default;
    explicit TaskBase(Handle h) : h_(h) {}
    TaskBase(TaskBase&& other) noexcept : h_(std::exchange(other.h_, {})) {}
    TaskBase& operator=(TaskBase&& other) noexcept {
        if (this != &other) {
            Reset();
            h_ = std::exchange(other.h_, {});
        }
        return *this;
    }
    TaskBase(const TaskBase&) = delete;
    TaskBase& operator=(const TaskBase&) = delete;
    ~TaskBase() { Reset(); }

    bool Valid() const { return static_cast<bool>(h_); }
    bool Done() const { return !h_ || h_.done(); }
    // Runs the task until it first waits; `onDone` is called when it has ended (perhaps before
    // Start returns). The task object may be destroyed from `onDone`.
    void Start(const std::function<void()>& onDone = {}) {
        const Handle h = h_;
        h.promise().onDone = onDone;
        h.resume();
    }
    // Cancels a task that has not ended: its frame and what it holds are destroyed.
    void Reset() {
        if (h_) h_.destroy();
        h_ = {};
    }

  protected:
    Handle h_;
};

}  // namespace task_detail

namespace task_detail {

template <typename T>
struct Promise : PromiseBase {
    std::optional<T> value;
    Task<T> get_return_object();
    template <typename U>
    void return_value(U&& v) {
        value.emplace(std::forward<U>(v));
    }
    T Take() {
        if (error) std::rethrow_exception(error);
        return std::move(*value);
    }
};

template <>
struct Promise<void> : PromiseBase {
    Task<void> get_return_object();
    void return_void() {}
    void Take() {
        if (error) std::rethrow_exception(error);
    }
};

}  // namespace task_detail

template <typename T>
class [[nodiscard]] Task : public task_detail::TaskBase<task_detail::Promise<T>> {
  public:
    using promise_type = task_detail::Promise<T>;
    using task_detail::TaskBase<promise_type>::TaskBase;

    auto operator co_await() && noexcept {
        struct Awaiter {
            std::coroutine_handle<promise_type> h;
            bool await_ready() const noexcept { return false; }
            std::coroutine_handle<> await_suspend(std::coroutine_handle<> caller) noexcept {
                h.promise().continuation = caller;
                return h;
            }
            T await_resume() { return h.promise().Take(); }
        };
        return Awaiter{this->h_};
    }
    // The result of a task that has ended (its exception, if it threw).
    T Result() { return this->h_.promise().Take(); }
};

namespace task_detail {

template <typename T>
Task<T> Promise<T>::get_return_object() {
    return Task<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}

inline Task<void> Promise<void>::get_return_object() {
    return Task<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}

}  // namespace task_detail
