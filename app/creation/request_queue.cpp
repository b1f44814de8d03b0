// The one-at-a-time loop over waiting requests.
#include "creation/request_queue.h"

#include "shared/logger.h"

#include <utility>

namespace tessary {
namespace {

const Logger kLog("create");

} // namespace

void RequestQueue::submit(Job job)
{
    m_waiting.push_back(std::move(job));
    if (m_running) {
        return; // the loop below, further up the stack, runs it in its turn
    }
    m_running = true;
    while (!m_waiting.empty()) {
        const Job next = std::move(m_waiting.front());
        m_waiting.pop_front();
        guarded(kLog, "A request", next);
    }
    m_running = false;
}

} // namespace tessary
