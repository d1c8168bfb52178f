#include "video/MulticastStreamSource.h"

#include "video/VideoLogging.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace qzr::video {

namespace {

constexpr int kIoBufferSize = 4096;
constexpr quint16 kProbePort = 9; // discard; a connected UDP socket sends nothing

} // namespace

MulticastStreamSource::MulticastStreamSource(QString group, int port, QString cameraAddress,
                                             MulticastCodec codec, QString interfaceAddress)
    : m_group(group.trimmed()), m_port(port), m_cameraAddress(cameraAddress.trimmed()),
      m_codec(codec), m_interfaceAddress(interfaceAddress.trimmed())
{
}

MulticastStreamSource::~MulticastStreamSource()
{
    releaseIo();
}

QString MulticastStreamSource::description() const
{
    return QStringLiteral("rtp://%1:%2 (multicast)").arg(m_group).arg(m_port);
}

QByteArray MulticastStreamSource::sdp(const QString &group, int port, MulticastCodec codec,
                                      const QString &origin)
{
    const bool jpeg = codec == MulticastCodec::Jpeg;
    const int payloadType = jpeg ? 26 : 96;
    QByteArray text;
    text += "v=0\r\n";
    text += "o=- 0 0 IN IP4 " + (origin.isEmpty() ? QByteArray("127.0.0.1") : origin.toLatin1()) + "\r\n";
    text += "s=QZ-R multicast\r\n";
    text += "c=IN IP4 " + group.toLatin1() + "/0\r\n";
    text += "t=0 0\r\n";
    text += "m=video " + QByteArray::number(port) + " RTP/AVP " + QByteArray::number(payloadType) + "\r\n";
    if (jpeg) {
        text += "a=rtpmap:26 JPEG/90000\r\n";
    } else {
        text += "a=rtpmap:96 H264/90000\r\n";
        text += "a=fmtp:96 packetization-mode=1\r\n";
    }
    return text;
}

QString MulticastStreamSource::localAddressFor(const QString &cameraAddress)
{
    QHostAddress camera;
    if (!camera.setAddress(cameraAddress.trimmed()) || camera.protocol() != QAbstractSocket::IPv4Protocol)
        return {};
    if (camera.isLoopback())
        return QStringLiteral("127.0.0.1");
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return {};
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(kProbePort);
    remote.sin_addr.s_addr = htonl(camera.toIPv4Address());
    QString local;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&remote), sizeof remote) == 0) {
        sockaddr_in mine{};
        socklen_t length = sizeof mine;
        if (::getsockname(fd, reinterpret_cast<sockaddr *>(&mine), &length) == 0
            && mine.sin_addr.s_addr != htonl(INADDR_ANY))
            local = QHostAddress(ntohl(mine.sin_addr.s_addr)).toString();
    }
    ::close(fd);
    return local;
}

QString MulticastStreamSource::interfaceAddress() const
{
    return m_interfaceAddress.isEmpty() ? localAddressFor(m_cameraAddress) : m_interfaceAddress;
}

int MulticastStreamSource::readSdp(void *opaque, uint8_t *buffer, int size)
{
    auto *self = static_cast<MulticastStreamSource *>(opaque);
    const qsizetype left = self->m_sdp.size() - self->m_sdpRead;
    if (left <= 0)
        return AVERROR_EOF;
    const int count = int(qMin<qsizetype>(left, size));
    std::memcpy(buffer, self->m_sdp.constData() + self->m_sdpRead, size_t(count));
    self->m_sdpRead += count;
    return count;
}

void MulticastStreamSource::releaseIo()
{
    if (!m_io)
        return;
    av_freep(&m_io->buffer);
    avio_context_free(&m_io);
}

int MulticastStreamSource::open(AVFormatContext **context)
{
    // The previous input (if any) is closed by now: its reader frees it
    // before asking for the next one.
    releaseIo();
    QHostAddress group;
    if (!group.setAddress(m_group) || group.protocol() != QAbstractSocket::IPv4Protocol
        || !group.isMulticast() || m_port <= 0 || m_port > 65535) {
        qCInfo(lcVideo).noquote() << "multicast: no valid group and port:" << m_group << m_port;
        avformat_free_context(*context);
        *context = nullptr;
        return AVERROR(EINVAL);
    }
    const QString local = interfaceAddress();
    m_sdp = sdp(group.toString(), m_port, m_codec, local);
    m_sdpRead = 0;

    auto *buffer = static_cast<unsigned char *>(av_malloc(kIoBufferSize));
    m_io = buffer ? avio_alloc_context(buffer, kIoBufferSize, 0, this, &readSdp, nullptr, nullptr) : nullptr;
    if (!m_io) {
        av_free(buffer);
        avformat_free_context(*context);
        *context = nullptr;
        return AVERROR(ENOMEM);
    }
    (*context)->pb = m_io;

    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file,udp,rtp", 0);
    // Join the group on the camera's interface; without it the kernel picks
    // the interface of the default route.
    if (!local.isEmpty())
        av_dict_set(&options, "localaddr", local.toLatin1().constData(), 0);
    // A 1080p key frame is a burst of several hundred packets.
    av_dict_set(&options, "buffer_size", "2097152", 0);
    av_dict_set(&options, "fflags", "nobuffer", 0);
    av_dict_set(&options, "max_delay", "0", 0);
    av_dict_set(&options, "reorder_queue_size", "0", 0);
    qCInfo(lcVideo).noquote() << "multicast: joining" << m_group << m_port << "on"
                              << (local.isEmpty() ? QStringLiteral("the default interface") : local);
    const int result = avformat_open_input(context, nullptr, av_find_input_format("sdp"), &options);
    av_dict_free(&options);
    return result;
}

} // namespace qzr::video
