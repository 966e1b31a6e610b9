// Runs a task to its end for a caller that has nothing else to do meanwhile: qtor-ctl's
// command, a tool, a test. The event loop runs until the task has ended.
#pragma once

#include "event_loop.h"
#include "task.h"

template <typename T>
T RunTask(Task<T> task) {
    bool done = false;
    task.Start([&done] { done = true; });
    RunEventLoopUntil(done);
    return task.Result();
}
