#include "cli/FleetLoop.h"

#include <boost/context/fiber.hpp>
#include <boost/context/protected_fixedsize_stack.hpp>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <system_error>

namespace qzr::cli {

namespace {

namespace fibers = boost::context;

// A camera's work needs little stack: libcurl and the settings code keep
// their data on the heap. A guard page below each stack stops an overflow.
constexpr std::size_t kFiberStackBytes = 256 * 1024;
constexpr int kMaxEvents = 256;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

// AddressSanitizer follows a switch between the loop's stack and a
// camera's fiber only when told of it; without, an exception thrown on a
// fiber looks like a stack overflow to it. Nothing happens in other builds.
struct StackBounds
{
    const void *bottom = nullptr;
    std::size_t size = 0;
};

#if defined(__SANITIZE_ADDRESS__)
inline void startSwitch(void **fakeStack, const StackBounds &to)
{
    __sanitizer_start_switch_fiber(fakeStack, to.bottom, to.size);
}
inline void finishSwitch(void *fakeStack, StackBounds *from)
{
    __sanitizer_finish_switch_fiber(fakeStack, from ? &from->bottom : nullptr, from ? &from->size : nullptr);
}
#else
inline void startSwitch(void **, const StackBounds &) {}
inline void finishSwitch(void *, StackBounds *) {}
#endif

// A camera's stack, as protected_fixedsize_stack makes it, with its bounds
// noted for the sanitizer.
class NotedStack
{
public:
    explicit NotedStack(StackBounds &bounds) : m_bounds(&bounds) {}
    fibers::stack_context allocate()
    {
        fibers::stack_context context = m_stack.allocate();
        m_bounds->size = context.size;
        m_bounds->bottom = static_cast<const char *>(context.sp) - context.size;
        return context;
    }
    void deallocate(fibers::stack_context &context) noexcept { m_stack.deallocate(context); }

private:
    fibers::protected_fixedsize_stack m_stack{kFiberStackBytes};
    StackBounds *m_bounds;
};

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

class FleetLoop;

namespace {

// A camera at work on one loop: its fiber, and its own multi handle, which
// keeps the camera's connection between transfers and closes it with the
// handle.
class Camera final : public FleetCamera
{
public:
    Camera(FleetLoop &loop, int slot, int index) : m_loop(loop), m_slot(slot), m_index(index) { openMulti(); }
    ~Camera() override { curl_multi_cleanup(m_multi); }
    Camera(const Camera &) = delete;
    Camera &operator=(const Camera &) = delete;

    // On the camera's fiber.
    CURLcode perform(CURL *easy) override;
    void closeConnections() override;
    void pause(int ms) override;

    // On the loop.
    void start(const FleetCameraWork &work);
    void onSocket(curl_socket_t socket, std::uint32_t events);
    void onTimers(std::int64_t now);
    std::int64_t nextDeadline() const { return std::min(m_curlTimerNs, m_wakeNs); }
    bool finished() const { return m_finished; }

private:
    enum class Waiting { Nothing, Transfer, Pause };

    void openMulti();
    void collectDone();
    void resumeIfReady();
    void resume()
    {
        void *fakeStack = nullptr;
        startSwitch(&fakeStack, m_fiberStack);
        m_fiber = std::move(m_fiber).resume();
        finishSwitch(fakeStack, nullptr);
    }
    void yieldToLoop()
    {
        void *fakeStack = nullptr;
        startSwitch(&fakeStack, m_loopStack);
        m_loopFiber = std::move(m_loopFiber).resume();
        finishSwitch(fakeStack, &m_loopStack);
    }

    static int onSocketChange(CURL *easy, curl_socket_t socket, int what, void *camera, void *known);
    static int onTimerChange(CURLM *multi, long timeoutMs, void *camera);

    FleetLoop &m_loop;
    const int m_slot;
    const int m_index;
    CURLM *m_multi = nullptr;
    fibers::fiber m_fiber;     // the camera's work, while it waits
    fibers::fiber m_loopFiber; // the loop, while the camera's work runs
    StackBounds m_fiberStack;  // for the sanitizer
    StackBounds m_loopStack;
    Waiting m_waiting = Waiting::Nothing;
    bool m_transferDone = false;
    CURLcode m_result = CURLE_OK;
    std::int64_t m_curlTimerNs = kNever; // when libcurl wants to be called
    std::int64_t m_wakeNs = kNever;      // the end of a pause
    bool m_finished = false;
};

} // namespace

// One thread's cameras: up to `capacity` at once, each in a slot whose
// number marks its sockets in the epoll set.
class FleetLoop
{
public:
    FleetLoop(FleetLoops &fleet, int capacity) : m_fleet(fleet), m_slots(std::size_t(capacity))
    {
        m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        if (m_epoll < 0)
            throw std::system_error(errno, std::generic_category(), "cannot wait for the cameras' connections");
    }
    ~FleetLoop()
    {
        if (m_epoll >= 0)
            ::close(m_epoll);
    }
    FleetLoop(const FleetLoop &) = delete;
    FleetLoop &operator=(const FleetLoop &) = delete;

    void run();
    void watch(int slot, curl_socket_t socket, int what, bool known);

private:
    bool startCameras();

    FleetLoops &m_fleet;
    std::vector<std::unique_ptr<Camera>> m_slots;
    int m_epoll = -1;
};

namespace {

void Camera::openMulti()
{
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, onSocketChange);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, onTimerChange);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    // One kept-alive connection per camera, as a single client keeps.
    curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, 1L);
    m_curlTimerNs = kNever;
}

CURLcode Camera::perform(CURL *easy)
{
    if (curl_multi_add_handle(m_multi, easy) != CURLM_OK)
        return CURLE_FAILED_INIT;
    m_transferDone = false;
    // Start at once: the request goes out before the thread turns to others.
    int running = 0;
    curl_multi_socket_action(m_multi, CURL_SOCKET_TIMEOUT, 0, &running);
    collectDone();
    while (!m_transferDone) {
        m_waiting = Waiting::Transfer;
        yieldToLoop();
    }
    m_waiting = Waiting::Nothing;
    curl_multi_remove_handle(m_multi, easy);
    return m_result;
}

void Camera::closeConnections()
{
    curl_multi_cleanup(m_multi);
    openMulti();
}

void Camera::pause(int ms)
{
    if (ms <= 0)
        return;
    m_wakeNs = nowNs() + std::int64_t(ms) * 1'000'000;
    m_waiting = Waiting::Pause;
    yieldToLoop();
    m_waiting = Waiting::Nothing;
}

void Camera::start(const FleetCameraWork &work)
{
    m_fiber = fibers::fiber(std::allocator_arg, NotedStack(m_fiberStack),
                            [this, &work](fibers::fiber &&loop) {
                                finishSwitch(nullptr, &m_loopStack);
                                m_loopFiber = std::move(loop);
                                work(m_index, *this);
                                m_finished = true;
                                // The fiber ends: its fake stack goes with it.
                                startSwitch(nullptr, m_loopStack);
                                return std::move(m_loopFiber);
                            });
    resume();
}

void Camera::collectDone()
{
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg == CURLMSG_DONE) {
            m_result = message->data.result;
            m_transferDone = true;
        }
    }
}

void Camera::resumeIfReady()
{
    if (m_waiting == Waiting::Transfer && m_transferDone)
        resume();
}

void Camera::onSocket(curl_socket_t socket, std::uint32_t events)
{
    int mask = 0;
    if (events & EPOLLIN)
        mask |= CURL_CSELECT_IN;
    if (events & EPOLLOUT)
        mask |= CURL_CSELECT_OUT;
    if (events & (EPOLLERR | EPOLLHUP))
        mask |= CURL_CSELECT_ERR;
    int running = 0;
    curl_multi_socket_action(m_multi, socket, mask, &running);
    collectDone();
    resumeIfReady();
}

void Camera::onTimers(std::int64_t now)
{
    if (m_curlTimerNs <= now) {
        m_curlTimerNs = kNever;
        int running = 0;
        curl_multi_socket_action(m_multi, CURL_SOCKET_TIMEOUT, 0, &running);
        collectDone();
        resumeIfReady();
    }
    if (m_waiting == Waiting::Pause && m_wakeNs <= now) {
        m_wakeNs = kNever;
        resume();
    }
}

int Camera::onSocketChange(CURL *, curl_socket_t socket, int what, void *camera, void *known)
{
    auto *self = static_cast<Camera *>(camera);
    self->m_loop.watch(self->m_slot, socket, what, known != nullptr);
    if (what != CURL_POLL_REMOVE && !known)
        curl_multi_assign(self->m_multi, socket, self);
    return 0;
}

int Camera::onTimerChange(CURLM *, long timeoutMs, void *camera)
{
    auto *self = static_cast<Camera *>(camera);
    self->m_curlTimerNs = timeoutMs < 0 ? kNever : nowNs() + std::int64_t(timeoutMs) * 1'000'000;
    return 0;
}

} // namespace

void FleetLoop::watch(int slot, curl_socket_t socket, int what, bool known)
{
    if (what == CURL_POLL_REMOVE) {
        // Closed descriptors leave the set by themselves: an error here is no harm.
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, socket, nullptr);
        return;
    }
    epoll_event event{};
    event.events = ((what & CURL_POLL_IN) ? EPOLLIN : 0u) | ((what & CURL_POLL_OUT) ? EPOLLOUT : 0u);
    event.data.u64 = (std::uint64_t(std::uint32_t(slot)) << 32) | std::uint32_t(socket);
    // A descriptor that libcurl knows may have been closed and its number
    // reused meanwhile, and the other way round: whichever fits.
    if (::epoll_ctl(m_epoll, known ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, socket, &event) == 0)
        return;
    if (errno == ENOENT)
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, socket, &event);
    else if (errno == EEXIST)
        ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, socket, &event);
}

// Fills the free slots with the next cameras; false when none is at work.
bool FleetLoop::startCameras()
{
    bool busy = false;
    bool more = true;
    for (std::size_t slot = 0; slot < m_slots.size(); ++slot) {
        while (!m_slots[slot] && more) {
            const int index = m_fleet.m_next.fetch_add(1);
            if (index >= m_fleet.m_total) {
                more = false;
                break;
            }
            auto camera = std::make_unique<Camera>(*this, int(slot), index);
            camera->start(m_fleet.m_work);
            if (!camera->finished())
                m_slots[slot] = std::move(camera);
        }
        busy = busy || m_slots[slot];
    }
    return busy;
}

void FleetLoop::run()
{
    epoll_event events[kMaxEvents];
    while (startCameras()) {
        std::int64_t deadline = kNever;
        for (const auto &camera : m_slots) {
            if (camera)
                deadline = std::min(deadline, camera->nextDeadline());
        }
        int timeoutMs = -1;
        if (deadline != kNever)
            timeoutMs = int(std::clamp<std::int64_t>((deadline - nowNs() + 999'999) / 1'000'000, 0, 60'000));
        const int count = ::epoll_wait(m_epoll, events, kMaxEvents, timeoutMs); // -1 (EINTR): timers only
        for (int i = 0; i < count; ++i) {
            const std::size_t slot = std::size_t(events[i].data.u64 >> 32);
            const auto socket = curl_socket_t(std::uint32_t(events[i].data.u64));
            if (slot < m_slots.size() && m_slots[slot])
                m_slots[slot]->onSocket(socket, events[i].events);
        }
        const std::int64_t now = nowNs();
        for (auto &camera : m_slots) {
            if (camera)
                camera->onTimers(now);
            if (camera && camera->finished())
                camera.reset();
        }
    }
}

FleetLoops::FleetLoops(int total, int jobs, int threads, FleetCameraWork work)
    : m_total(total), m_work(std::move(work))
{
    jobs = std::max(1, std::min(jobs, total));
    threads = std::clamp(threads, 1, jobs);
    std::vector<std::shared_ptr<FleetLoop>> loops;
    for (int t = 0; t < threads; ++t)
        loops.push_back(std::make_shared<FleetLoop>(*this, jobs / threads + (t < jobs % threads ? 1 : 0)));
    try {
        for (const auto &loop : loops)
            m_threads.emplace_back([loop] { loop->run(); });
    } catch (...) {
        // No thread to be had: the loops already running start no further
        // camera, finish theirs, and the failure goes to the caller.
        m_next = total;
        wait();
        throw;
    }
}

FleetLoops::~FleetLoops()
{
    wait();
}

void FleetLoops::wait()
{
    for (std::thread &thread : m_threads) {
        if (thread.joinable())
            thread.join();
    }
}

} // namespace qzr::cli
