// GLib headers first: they use "signals" as a name, which Qt defines as a macro.
#include <gst/gst.h>

#include "MulticastSender.h"

#include <atomic>
#include <functional>
#include <mutex>

#include "GLibLoopThread.h"
#include "SimLogging.h"

namespace qzr::sim {

namespace {

// Only the loopback interface ever carries the simulator's multicast: TTL 0
// keeps it on this host, and the sender never joins a group on its own
// (auto-multicast would join on the default interface).
constexpr const char *kSinkOptions =
    "udpsink name=sink host=%1 port=%2 multicast-iface=lo ttl-mc=0 auto-multicast=false "
    "loop=true sync=false async=false";

// Counts the RTP packets reaching the socket sink.
GstPadProbeReturn countProbe(GstPad *, GstPadProbeInfo *info, gpointer counter)
{
    qint64 packets = 0;
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER_LIST)
        packets = gst_buffer_list_length(GST_PAD_PROBE_INFO_BUFFER_LIST(info));
    else if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER)
        packets = 1;
    static_cast<std::atomic<qint64> *>(counter)->fetch_add(packets);
    return GST_PAD_PROBE_OK;
}

gboolean onBusMessage(GstBus *, GstMessage *message, gpointer channel)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError *error = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        qCWarning(lcSim) << "multicast channel" << GPOINTER_TO_INT(channel) << "error:"
                         << (error ? error->message : "") << (debug ? debug : "");
        g_clear_error(&error);
        g_free(debug);
    }
    return G_SOURCE_CONTINUE;
}

// Not g_source_remove(): that looks the id up in the global default context.
void removeBusWatch(GstElement *pipeline)
{
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_remove_watch(bus);
    gst_object_unref(bus);
}

void initGStreamer()
{
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

} // namespace

bool MulticastDestination::operator==(const MulticastDestination &o) const
{
    return started == o.started && group == o.group && port == o.port && settings == o.settings;
}

QString multicastLaunchDescription(int channel, const MulticastDestination &d)
{
    if (!d.started || d.group.isEmpty() || d.port == 0)
        return {};
    QString mount = rtspLaunchDescription(channel, d.settings);
    if (mount.isEmpty())
        return {};
    // The mount's description is "( ... )": the same pipeline, ending in the socket.
    mount = mount.trimmed();
    if (mount.startsWith(QLatin1Char('(')) && mount.endsWith(QLatin1Char(')')))
        mount = mount.mid(1, mount.size() - 2).trimmed();
    return mount + QStringLiteral(" ! ")
        + QString::fromLatin1(kSinkOptions).arg(d.group).arg(d.port);
}

// ---------------------------------------------------------------------------

struct MulticastSender::Loop {
    GLibLoopThread glib;

    std::array<std::atomic<qint64>, kRtspChannelCount> packets{};
    std::array<std::atomic<bool>, kRtspChannelCount> sending{};

    // Loop thread only.
    std::array<MulticastDestination, kRtspChannelCount> applied;
    std::array<GstElement *, kRtspChannelCount> pipelines{};

    void run(const std::function<void()> &function) { glib.run(function); }
    void apply(int channel, const MulticastDestination &destination);
    void stopPipeline(int channel);
};

void MulticastSender::Loop::stopPipeline(int channel)
{
    const size_t index = size_t(channel - 1);
    if (!pipelines[index])
        return;
    // Synchronous: once NULL is reached the socket is closed, nothing more is sent.
    gst_element_set_state(pipelines[index], GST_STATE_NULL);
    removeBusWatch(pipelines[index]);
    gst_object_unref(pipelines[index]);
    pipelines[index] = nullptr;
    sending[index] = false;
    qCInfo(lcSim) << "multicast channel" << channel << "stopped";
}

void MulticastSender::Loop::apply(int channel, const MulticastDestination &destination)
{
    const size_t index = size_t(channel - 1);
    const QString wanted = multicastLaunchDescription(channel, destination);
    const QString current = multicastLaunchDescription(channel, applied[index]);
    applied[index] = destination;
    if (wanted == current && (pipelines[index] != nullptr) == !wanted.isEmpty())
        return;
    stopPipeline(channel);
    if (wanted.isEmpty())
        return;

    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(wanted.toUtf8().constData(), &error);
    if (!pipeline || error) {
        qCWarning(lcSim) << "multicast channel" << channel << "cannot build:"
                         << (error ? error->message : "") << wanted;
        g_clear_error(&error);
        if (pipeline)
            gst_object_unref(pipeline);
        return;
    }
    if (GstElement *encoder = gst_bin_get_by_name(GST_BIN(pipeline), "enc")) {
        addFrameStampProbe(encoder);
        addTimestampRepair(encoder); // MPEG-4 only, see RtspServer.h
        gst_object_unref(encoder);
    }
    if (GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink")) {
        if (GstPad *pad = gst_element_get_static_pad(sink, "sink")) {
            gst_pad_add_probe(pad,
                              GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                              countProbe, &packets[index], nullptr);
            gst_object_unref(pad);
        }
        gst_object_unref(sink);
    }
    // The watch goes to this thread's default context, the loop's own.
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_add_watch(bus, onBusMessage, GINT_TO_POINTER(channel));
    gst_object_unref(bus);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        qCWarning(lcSim) << "multicast channel" << channel << "cannot start:" << wanted;
        gst_element_set_state(pipeline, GST_STATE_NULL);
        removeBusWatch(pipeline);
        gst_object_unref(pipeline);
        return;
    }
    pipelines[index] = pipeline;
    sending[index] = true;
    qCInfo(lcSim).noquote() << "multicast channel" << channel << "to" << destination.group
                            << destination.port << "on lo:" << wanted;
}

// ---------------------------------------------------------------------------

MulticastSender::MulticastSender() : m_loop(std::make_unique<Loop>()) {}

MulticastSender::~MulticastSender()
{
    stop();
}

void MulticastSender::apply(int channel, const MulticastDestination &destination)
{
    if (channel < 1 || channel > kRtspChannelCount)
        return;
    Loop &loop = *m_loop;
    if (!loop.glib.isRunning()) {
        if (multicastLaunchDescription(channel, destination).isEmpty()) {
            loop.applied[size_t(channel - 1)] = destination; // nothing to send yet
            return;
        }
        initGStreamer();
        loop.glib.start();
    }
    loop.run([&] { loop.apply(channel, destination); });
}

void MulticastSender::stop()
{
    Loop &loop = *m_loop;
    if (!loop.glib.isRunning())
        return;
    loop.glib.stop([&loop] {
        for (int channel = 1; channel <= kRtspChannelCount; ++channel)
            loop.stopPipeline(channel);
    });
    loop.applied = {};
}

bool MulticastSender::isSending(int channel) const
{
    if (channel < 1 || channel > kRtspChannelCount)
        return false;
    return m_loop->sending[size_t(channel - 1)];
}

qint64 MulticastSender::packetsSent(int channel) const
{
    if (channel < 1 || channel > kRtspChannelCount)
        return 0;
    return m_loop->packets[size_t(channel - 1)];
}

} // namespace qzr::sim
