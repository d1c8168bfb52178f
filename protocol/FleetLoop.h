#pragma once
// Many cameras at work on a few threads: the one engine for the fleet
// commands (qzr clone, save and diff --hosts) and for a search's sweep and
// identity reads. Each camera's work is plain sequential code (the same
// session, upload and read-back as for one camera, or the same reads as a
// single client makes) running on a fiber of its own (Boost.Context). Its
// transfers and pauses do not block: they hand the thread back to a loop
// that waits for the sockets and timers of all its cameras at once (epoll
// and libcurl's multi-socket interface) and resumes each camera when its
// transfer ends or its pause is over. So hundreds of cameras cost a few
// threads and no thread switch per request.
//
// ParamClient::abort() works here as anywhere: it shuts the client's socket
// down from another thread, the loop hears it at once and the transfer ends
// as cancelled.
#include "protocol/TransferRunner.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qzr {

// One camera at work: runs its client's transfers (ParamClient::
// setTransferRunner) and its pauses, each letting the thread serve the other
// cameras meanwhile. Each camera keeps its own connection.
class FleetCamera : public TransferRunner
{
public:
    virtual void pause(int ms) = 0;
};

// The work on one camera, on its fiber. It must not throw: an exception
// cannot leave a fiber. Its clients must be gone when it returns.
using FleetJob = std::function<void(FleetCamera &camera)>;
// The work on the camera with the given index (a fixed set of cameras).
using FleetCameraWork = std::function<void(int index, FleetCamera &camera)>;

class FleetLoop;

class FleetLoops
{
public:
    // Starts `threads` threads that run work for the indexes 0 .. total-1,
    // in that order, at most `jobs` cameras at once (shared out among the
    // threads), and end when all are done.
    FleetLoops(int total, int jobs, int threads, FleetCameraWork work);
    // Starts `threads` threads that run the work given to add(), in the
    // order it was added, at most `jobs` at once, until close().
    FleetLoops(int jobs, int threads);
    // Closes and waits for every camera's work to end.
    ~FleetLoops();
    FleetLoops(const FleetLoops &) = delete;
    FleetLoops &operator=(const FleetLoops &) = delete;

    // Queues work; it starts as soon as a camera's place is free. Any thread.
    void add(FleetJob job);
    // How many cameras may be at work at once from now on (at least one);
    // those at work go on. Any thread.
    void setJobs(int jobs);
    // No more work is added: the threads end once the queue is done.
    void close();
    // Waits for the threads to end (after close()).
    void wait();

private:
    friend class FleetLoop;
    void start(int jobs, int threads);
    // The next work, if there is one; `ended` when there will be none.
    bool take(FleetJob &job, bool &ended);
    // Closed, and nothing left to start.
    bool drained();
    void wakeAll();

    const FleetCameraWork m_work; // a fixed set's work
    std::mutex m_mutex;
    std::deque<FleetJob> m_queue;
    bool m_closed = false;
    std::vector<std::shared_ptr<FleetLoop>> m_loops;
    std::vector<std::thread> m_threads;
};

} // namespace qzr
