#pragma once
// A GLib main loop with a context of its own on a thread of its own: where the
// simulator's GStreamer pipelines and RTSP server live.
#include <atomic>
#include <functional>
#include <thread>

typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;

namespace qzr::sim {

class GLibLoopThread
{
public:
    GLibLoopThread() = default;
    ~GLibLoopThread() { stop(); }
    GLibLoopThread(const GLibLoopThread &) = delete;
    GLibLoopThread &operator=(const GLibLoopThread &) = delete;

    // Starts the thread with a new context; nothing when it runs already.
    void start();
    bool isRunning() const { return m_running; }
    // The loop's context, for sources attached from outside (valid while running).
    GMainContext *context() const { return m_context; }

    // Runs function on the loop thread and waits for it; at once when called
    // there; nothing when the loop does not run.
    void run(const std::function<void()> &function);

    // Runs lastWork on the loop thread, lets what it started finish, ends the
    // thread and frees the context.
    void stop(const std::function<void()> &lastWork = {});

private:
    GMainContext *m_context = nullptr;
    GMainLoop *m_loop = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
};

} // namespace qzr::sim
