#pragma once
// Hands work from a worker thread to the user-interface thread. In the program the call is queued
// on the Qt event loop; in tests and the command line a queue is drained by whoever owns it.

#include <functional>

namespace quill {

class UiDispatcher {
public:
    virtual ~UiDispatcher() = default;
    // Runs `task` on the user-interface thread, later, in the order of the calls.
    virtual void post(std::function<void()> task) = 0;
};

} // namespace quill
