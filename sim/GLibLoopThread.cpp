#include "GLibLoopThread.h"

#include <glib.h>

#include <future>

namespace qzr::sim {

namespace {

struct Call
{
    const std::function<void()> *function;
    std::promise<void> done;
};

gboolean runCall(gpointer data)
{
    auto *call = static_cast<Call *>(data);
    (*call->function)();
    call->done.set_value();
    return G_SOURCE_REMOVE;
}

} // namespace

void GLibLoopThread::start()
{
    if (m_running)
        return;
    m_context = g_main_context_new();
    m_loop = g_main_loop_new(m_context, FALSE);
    m_running = true;
    m_thread = std::thread([this] {
        g_main_context_push_thread_default(m_context);
        g_main_loop_run(m_loop);
        // Let closing clients and sources finish before the context goes.
        while (g_main_context_iteration(m_context, FALSE)) {
        }
        g_main_context_pop_thread_default(m_context);
    });
}

void GLibLoopThread::run(const std::function<void()> &function)
{
    if (!m_running)
        return;
    if (std::this_thread::get_id() == m_thread.get_id()) {
        function();
        return;
    }
    Call call{&function, {}};
    std::future<void> done = call.done.get_future();
    GSource *idle = g_idle_source_new();
    g_source_set_priority(idle, G_PRIORITY_HIGH);
    g_source_set_callback(idle, runCall, &call, nullptr);
    g_source_attach(idle, m_context);
    g_source_unref(idle);
    done.wait();
}

void GLibLoopThread::stop(const std::function<void()> &lastWork)
{
    if (!m_running)
        return;
    run([&] {
        if (lastWork)
            lastWork();
        g_main_loop_quit(m_loop);
    });
    m_running = false;
    m_thread.join();
    g_main_loop_unref(m_loop);
    m_loop = nullptr;
    g_main_context_unref(m_context);
    m_context = nullptr;
}

} // namespace qzr::sim
