#include "protocol/FleetLoop.h"

#include <boost/context/fiber.hpp>
#include <boost/context/protected_fixedsize_stack.hpp>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <system_error>
#include <utility>

namespace qzr {

namespace {

namespace fibers = boost::context;

// A camera's work needs little stack: libcurl and the settings code keep
// their data on the heap. A guard page below each stack stops an overflow.
constexpr std::size_t kFiberStackBytes = 256 * 1024;
constexpr int kMaxEvents = 256;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
// The epoll mark of a loop's wake-up descriptor (no camera's slot).
constexpr std::uint64_t kWakeMark = std::numeric_limits<std::uint64_t>::max();

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

// Stacks of cameras that finished, kept for the next ones on the same
// loop: a camera's start then costs no system call for its stack.
class StackPool
{
public:
    StackPool() = default;
    StackPool(const StackPool &) = delete;
    StackPool &operator=(const StackPool &) = delete;
    ~StackPool()
    {
        for (fibers::stack_context &context : m_free)
            m_stack.deallocate(context);
    }
    fibers::stack_context allocate()
    {
        if (m_free.empty())
            return m_stack.allocate();
        const fibers::stack_context context = m_free.back();
        m_free.pop_back();
        return context;
    }
    // At most as many are kept as cameras were at work at once.
    void deallocate(fibers::stack_context &context) noexcept
    {
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizer's marks of the last camera's frames stay with the
        // memory: a stack goes back to the system instead.
        m_stack.deallocate(context);
        return;
#endif
        try {
            m_free.push_back(context);
        } catch (...) {
            m_stack.deallocate(context);
        }
    }

private:
    fibers::protected_fixedsize_stack m_stack{kFiberStackBytes};
    std::vector<fibers::stack_context> m_free;
};

// A camera's stack, from its loop's pool, with its bounds noted for the
// sanitizer.
class NotedStack
{
public:
    NotedStack(StackPool &pool, StackBounds &bounds) : m_pool(&pool), m_bounds(&bounds) {}
    fibers::stack_context allocate()
    {
        fibers::stack_context context = m_pool->allocate();
        m_bounds->size = context.size;
        m_bounds->bottom = static_cast<const char *>(context.sp) - context.size;
        return context;
    }
    void deallocate(fibers::stack_context &context) noexcept { m_pool->deallocate(context); }

private:
    StackPool *m_pool;
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
    Camera(FleetLoop &loop, int slot) : m_loop(loop), m_slot(slot) {}
    ~Camera() override { curl_multi_cleanup(m_multi); }
    Camera(const Camera &) = delete;
    Camera &operator=(const Camera &) = delete;

    // On the camera's fiber.
    CURLcode perform(CURL *easy) override;
    void closeConnections() override;
    void pause(int ms) override;

    // On the loop.
    void start(FleetJob job);
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
    FleetJob m_job;
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

// One thread's cameras: up to its share of the jobs at once, each in a slot
// whose number marks its sockets in the epoll set.
class FleetLoop
{
public:
    explicit FleetLoop(FleetLoops &fleet) : m_fleet(fleet)
    {
        m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        if (m_epoll < 0)
            throw std::system_error(errno, std::generic_category(), "cannot wait for the cameras' connections");
        m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = kWakeMark;
        if (m_wake < 0 || ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &event) != 0) {
            const int error = errno;
            if (m_wake >= 0)
                ::close(m_wake);
            ::close(m_epoll);
            throw std::system_error(error, std::generic_category(), "cannot wait for the cameras' connections");
        }
    }
    ~FleetLoop()
    {
        ::close(m_wake);
        ::close(m_epoll);
    }
    FleetLoop(const FleetLoop &) = delete;
    FleetLoop &operator=(const FleetLoop &) = delete;

    void run();
    void watch(int slot, curl_socket_t socket, int what, bool known);
    void setCapacity(int capacity) { m_capacity = capacity; }
    StackPool &stacks() { return m_stacks; }
    // Makes the loop look at the queue (and its capacity) again. Any thread.
    void wake()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
    }

private:
    bool startCameras();

    FleetLoops &m_fleet;
    std::atomic<int> m_capacity{0};
    StackPool m_stacks; // outlives the cameras
    std::vector<std::unique_ptr<Camera>> m_slots;
    int m_atWork = 0;
    int m_epoll = -1;
    int m_wake = -1;
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
    if (!m_multi)
        openMulti();
    if (!m_multi || curl_multi_add_handle(m_multi, easy) != CURLM_OK)
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
    // The next transfer opens a new one.
    curl_multi_cleanup(m_multi);
    m_multi = nullptr;
    m_curlTimerNs = kNever;
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

void Camera::start(FleetJob job)
{
    m_job = std::move(job);
    m_fiber = fibers::fiber(std::allocator_arg, NotedStack(m_loop.stacks(), m_fiberStack),
                            [this](fibers::fiber &&loop) {
                                finishSwitch(nullptr, &m_loopStack);
                                m_loopFiber = std::move(loop);
                                m_job(*this);
                                m_job = nullptr; // what it holds goes on the fiber
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

// Fills the free places with the next cameras; false when none is at work
// and no more will come.
bool FleetLoop::startCameras()
{
    bool ended = false;
    while (m_atWork < m_capacity) {
        FleetJob job;
        if (!m_fleet.take(job, ended))
            break;
        std::size_t slot = 0;
        while (slot < m_slots.size() && m_slots[slot])
            ++slot;
        if (slot == m_slots.size())
            m_slots.emplace_back();
        auto camera = std::make_unique<Camera>(*this, int(slot));
        camera->start(std::move(job));
        if (!camera->finished()) {
            m_slots[slot] = std::move(camera);
            ++m_atWork;
        }
    }
    return m_atWork > 0 || !(ended || m_fleet.drained());
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
            if (events[i].data.u64 == kWakeMark) {
                std::uint64_t wakes = 0;
                [[maybe_unused]] const ssize_t read = ::read(m_wake, &wakes, sizeof wakes);
                continue;
            }
            const std::size_t slot = std::size_t(events[i].data.u64 >> 32);
            const auto socket = curl_socket_t(std::uint32_t(events[i].data.u64));
            if (slot < m_slots.size() && m_slots[slot])
                m_slots[slot]->onSocket(socket, events[i].events);
        }
        const std::int64_t now = nowNs();
        for (auto &camera : m_slots) {
            if (camera)
                camera->onTimers(now);
            if (camera && camera->finished()) {
                camera.reset();
                --m_atWork;
            }
        }
    }
}

FleetLoops::FleetLoops(int total, int jobs, int threads, FleetCameraWork work)
    : m_work(std::move(work))
{
    for (int index = 0; index < total; ++index)
        m_queue.push_back([this, index](FleetCamera &camera) { m_work(index, camera); });
    m_closed = true;
    jobs = std::max(1, std::min(jobs, total));
    start(jobs, std::clamp(threads, 1, jobs));
}

FleetLoops::FleetLoops(int jobs, int threads)
{
    start(std::max(1, jobs), std::max(1, threads));
}

void FleetLoops::start(int jobs, int threads)
{
    for (int t = 0; t < threads; ++t)
        m_loops.push_back(std::make_shared<FleetLoop>(*this));
    setJobs(jobs);
    try {
        for (const auto &loop : m_loops)
            m_threads.emplace_back([loop] { loop->run(); });
    } catch (...) {
        // No thread to be had: the loops already running start no further
        // camera, finish theirs, and the failure goes to the caller.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.clear();
            m_closed = true;
        }
        wakeAll();
        wait();
        throw;
    }
}

FleetLoops::~FleetLoops()
{
    close();
    wait();
}

void FleetLoops::add(FleetJob job)
{
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wasEmpty = m_queue.empty();
        m_queue.push_back(std::move(job));
    }
    // A loop with a place free waits only when it found the queue empty;
    // while it is not, the loops take from it as places free up.
    if (wasEmpty)
        wakeAll();
}

void FleetLoops::setJobs(int jobs)
{
    jobs = std::max(1, jobs);
    const int threads = int(m_loops.size());
    for (int t = 0; t < threads; ++t)
        m_loops[std::size_t(t)]->setCapacity(jobs / threads + (t < jobs % threads ? 1 : 0));
    wakeAll();
}

void FleetLoops::close()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
    }
    wakeAll();
}

bool FleetLoops::take(FleetJob &job, bool &ended)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_queue.empty()) {
        ended = m_closed;
        return false;
    }
    job = std::move(m_queue.front());
    m_queue.pop_front();
    if (m_queue.empty() && m_closed) {
        // A loop with no place free (or none at all) waits to hear this.
        for (const auto &loop : m_loops)
            loop->wake();
    }
    return true;
}

bool FleetLoops::drained()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_closed && m_queue.empty();
}

void FleetLoops::wakeAll()
{
    for (const auto &loop : m_loops)
        loop->wake();
}

void FleetLoops::wait()
{
    for (std::thread &thread : m_threads) {
        if (thread.joinable())
            thread.join();
    }
}

} // namespace qzr
