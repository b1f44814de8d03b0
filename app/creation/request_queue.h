// Runs the host's requests one at a time, in the order they arrive, on the main thread.
//
// A request that shows an alert or the folder panel runs a nested event loop, and that loop
// delivers whatever arrives meanwhile: a click in the file manager, a key press. Handed to
// this queue, such a request waits until the one on screen is done instead of starting a
// second prompt inside it.
#pragma once

#include <deque>
#include <functional>

namespace tessary {

class RequestQueue {
public:
    using Job = std::function<void()>;

    // Runs `job` at once when no job is running; otherwise it runs after the running job and
    // those submitted before it. Call on the main thread. Whatever a job throws is logged
    // and goes no further, so it never reaches the event loop.
    void submit(Job job);

    // Whether a job is running (possibly inside a nested event loop).
    bool busy() const { return m_running; }

private:
    std::deque<Job> m_waiting;
    bool m_running = false;
};

} // namespace tessary
