#pragma once
// Many cameras at work on a few threads. Each camera's work is plain
// sequential code (the same session, upload and read-back as for one camera)
// running on a fiber of its own (Boost.Context). Its transfers and pauses do
// not block: they hand the thread back to a loop that waits for the sockets
// and timers of all its cameras at once (epoll and libcurl's multi-socket
// interface) and resumes each camera when its transfer ends or its pause is
// over. So hundreds of cameras cost a few threads and no thread switch per
// request.
#include "protocol/TransferRunner.h"

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace qzr::cli {

// One camera at work: runs its client's transfers (ParamClient::
// setTransferRunner) and its pauses, each letting the thread serve the other
// cameras meanwhile. Each camera keeps its own connection.
class FleetCamera : public TransferRunner
{
public:
    virtual void pause(int ms) = 0;
};

// The work on the camera with the given index, on its fiber. It must not
// throw: an exception cannot leave a fiber.
using FleetCameraWork = std::function<void(int index, FleetCamera &camera)>;

class FleetLoops
{
public:
    // Starts `threads` threads that run work for the indexes 0 .. total-1,
    // in that order, at most `jobs` cameras at once (shared out among the
    // threads).
    FleetLoops(int total, int jobs, int threads, FleetCameraWork work);
    // Waits for every camera's work to end.
    ~FleetLoops();
    FleetLoops(const FleetLoops &) = delete;
    FleetLoops &operator=(const FleetLoops &) = delete;

    void wait();

private:
    const int m_total;
    const FleetCameraWork m_work;
    std::atomic<int> m_next{0}; // the index of the next camera to start
    std::vector<std::thread> m_threads;
    friend class FleetLoop;
};

} // namespace qzr::cli
