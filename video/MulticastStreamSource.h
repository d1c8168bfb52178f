#pragma once

#include <QByteArray>
#include <QString>

#include "video/StreamSource.h"

struct AVIOContext;

namespace qzr::video {

enum class MulticastCodec { H264, Jpeg };

// RTP sent by the camera to a multicast group: libavformat's "sdp" demuxer
// reads an SDP built here and held in memory (custom AVIOContext), then joins
// the group on the interface given by localaddr. The camera publishes no SDP;
// the one built for H.264 (payload type 96; parameter sets come in-band every
// second, so no sprop-parameter-sets) is:
//
//   v=0
//   o=- 0 0 IN IP4 <local address>
//   s=QZ-R multicast
//   c=IN IP4 <group>/0
//   t=0 0
//   m=video <port> RTP/AVP 96
//   a=rtpmap:96 H264/90000
//   a=fmtp:96 packetization-mode=1
//
// and for Motion JPEG "m=video <port> RTP/AVP 26" with "a=rtpmap:26 JPEG/90000".
// The TTL 0 on the connection line keeps the receiver reports libavformat
// sends to the group (port + 1) on this host.
class MulticastStreamSource : public StreamSource
{
public:
    // cameraAddress picks the interface (see localAddressFor()); a non-empty
    // interfaceAddress (a local IPv4 address) overrides it.
    MulticastStreamSource(QString group, int port, QString cameraAddress,
                          MulticastCodec codec = MulticastCodec::H264,
                          QString interfaceAddress = {});
    ~MulticastStreamSource() override;

    QString description() const override;
    bool isLive() const override { return true; }
    int open(AVFormatContext **context) override;

    // The SDP for group:port and codec (see above); origin is the local address.
    static QByteArray sdp(const QString &group, int port, MulticastCodec codec,
                          const QString &origin = QStringLiteral("127.0.0.1"));
    // The local IPv4 address of the interface through which cameraAddress is
    // reached: 127.0.0.1 for 127.0.0.0/8; otherwise the source address the
    // routing table picks, read from a connected UDP socket (connecting sends
    // nothing). Empty when the address is no IPv4 address or has no route.
    static QString localAddressFor(const QString &cameraAddress);
    // The address the group is joined on: the override, else localAddressFor().
    QString interfaceAddress() const;

private:
    static int readSdp(void *opaque, uint8_t *buffer, int size);
    void releaseIo();

    QString m_group;
    int m_port;
    QString m_cameraAddress;
    MulticastCodec m_codec;
    QString m_interfaceAddress;
    QByteArray m_sdp;
    qsizetype m_sdpRead = 0;
    AVIOContext *m_io = nullptr; // kept until the next open: the input may refer to it
};

} // namespace qzr::video
