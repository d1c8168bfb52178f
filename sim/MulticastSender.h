#pragma once

#include <QString>

#include <array>
#include <memory>

#include "RtspServer.h"

namespace qzr::sim {

// What one multicast destination should be doing: the channel's group, port,
// whether its status is "start", and the encoder settings it follows.
struct MulticastDestination {
    bool started = false;
    QString group;
    quint16 port = 0;
    EncoderStream settings;

    bool operator==(const MulticastDestination &other) const;
    bool operator!=(const MulticastDestination &other) const { return !(*this == other); }
};

// The gst-launch description of channel's multicast sender: the RTSP mount's
// test picture and encoder, then udpsink to group:port on the loopback
// interface only (multicast-iface=lo, ttl-mc=0, auto-multicast=false,
// loop=true). The payloader is "pay0", the sink "sink". Empty when nothing is
// sent: encoder off, MPEG-4 (not sent, like its RTSP mount), no group or port.
QString multicastLaunchDescription(int channel, const MulticastDestination &destination);

// Sends each started channel's stream as RTP to its multicast group: one
// GStreamer pipeline per sending destination, driven from a GLib main loop in
// a thread of its own (started with the first sending destination). Every
// public method may be called from any thread except the loop's own.
class MulticastSender
{
public:
    MulticastSender();
    ~MulticastSender();
    MulticastSender(const MulticastSender &) = delete;
    MulticastSender &operator=(const MulticastSender &) = delete;

    // Brings channel (1..3) to the wanted state; a running pipeline is
    // replaced when the group, port or encoder settings change. Returns once
    // the change is applied: after a stop no further packet leaves.
    void apply(int channel, const MulticastDestination &destination);
    // Stops every pipeline and ends the loop thread.
    void stop();

    // A pipeline is sending for channel (started and the encoder on).
    bool isSending(int channel) const;
    // RTP packets handed to the socket for channel since its pipeline started.
    qint64 packetsSent(int channel) const;

    struct Loop; // GLib/GStreamer state, touched only on the loop thread

private:
    std::unique_ptr<Loop> m_loop;
};

} // namespace qzr::sim
