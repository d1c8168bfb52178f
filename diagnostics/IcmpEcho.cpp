#include "diagnostics/IcmpEcho.h"

// Written by hand on the BSD socket interface: neither Qt nor a Debian
// library offers an ICMP echo, and the system's ping program is not to be run
// with what the user typed. The packet rules are plain functions below; the
// socket handling is in sendEcho().

#include <QCoreApplication>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

namespace qzr::icmp {

namespace {

using Clock = std::chrono::steady_clock;

// A message that arrives while we wait is either our answer or someone
// else's; this many unrelated ones end the wait early at the latest.
constexpr int kMaxMessagesPerWait = 10000;
constexpr int kReceiveBufferBytes = 65536;
constexpr int kIpHeaderBytes = 20; // without options, as a router quotes it

quint16 readBigEndian16(const QByteArray &data, int at)
{
    return quint16((quint8(data.at(at)) << 8) | quint8(data.at(at + 1)));
}

QString socketErrorText(int osErrno)
{
    QString description = QString::fromLocal8Bit(std::strerror(osErrno));
    if (!description.endsWith(QLatin1Char('.')))
        description += QLatin1Char('.');
    return QStringLiteral("Socket Error # %1\r\n%2").arg(osErrno).arg(description);
}

QString dottedAddress(const in_addr &address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

bool isPermissionError(int osErrno)
{
    return osErrno == EACCES || osErrno == EPERM;
}

// Closes the socket when the echo ends, whichever way it ends.
class SocketHandle
{
public:
    explicit SocketHandle(int fd = -1) : m_fd(fd) {}
    ~SocketHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SocketHandle(const SocketHandle &) = delete;
    SocketHandle &operator=(const SocketHandle &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

struct OpenResult
{
    int fd = -1;
    SocketKind kind = SocketKind::None;
    QString errorText;
};

// The datagram socket where the system allows it to this user, otherwise the
// raw socket where the process has the right.
OpenResult openEchoSocket()
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0)
        return {fd, SocketKind::Datagram, {}};
    const int datagramErrno = errno;
    fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0)
        return {fd, SocketKind::Raw, {}};
    const int rawErrno = errno;
    if (isPermissionError(rawErrno) && isPermissionError(datagramErrno))
        return {-1, SocketKind::None, notPermittedText()};
    return {-1, SocketKind::None, socketErrorText(isPermissionError(rawErrno) ? datagramErrno : rawErrno)};
}

struct Resolved
{
    in_addr address{};
    QString errorText;
};

Resolved resolveIpv4(const QString &hostText)
{
    const QString host = hostText.trimmed();
    if (host.isEmpty())
        return {{}, QStringLiteral("No camera address to ping: the address field is empty")};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    const QByteArray name = host.toUtf8();
    const int status = ::getaddrinfo(name.constData(), nullptr, &hints, &found);
    if (status != 0 || !found) {
        const QString reason = status == EAI_SYSTEM ? QString::fromLocal8Bit(std::strerror(errno))
                                                    : QString::fromLocal8Bit(::gai_strerror(status));
        if (found)
            ::freeaddrinfo(found);
        return {{}, QStringLiteral("Could not resolve the address \"%1\": %2").arg(host, reason)};
    }
    Resolved resolved;
    resolved.address = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return resolved;
}

quint16 nextRawIdentifier()
{
    static std::atomic<quint32> counter{0};
    return quint16((quint32(::getpid()) + counter.fetch_add(1)) & 0xFFFF);
}

QByteArray echoPayload()
{
    QByteArray payload(kEchoPayloadBytes, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char('a' + i % 23);
    return payload;
}

// One answer read from a datagram socket's error queue: an ICMP error about
// our request, or a local failure.
struct QueuedError
{
    bool isOurs = false;
    int icmpType = -1;
    int originErrno = 0;  // set for a local failure
    in_addr offender{};
    int quotedBytes = 0;
};

QueuedError readErrorQueue(int fd, quint16 sequence)
{
    QByteArray data(kReceiveBufferBytes, '\0');
    char control[512];
    sockaddr_in from{};
    iovec io{data.data(), size_t(data.size())};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t received = ::recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
    QueuedError result;
    if (received < 0)
        return result;
    data.truncate(int(received));
    for (cmsghdr *header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_IP || header->cmsg_type != IP_RECVERR)
            continue;
        const auto *error = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(header));
        if (error->ee_origin == SO_EE_ORIGIN_ICMP) {
            // The data is the request the error is about.
            result.isOurs = data.size() >= kIcmpHeaderBytes && readBigEndian16(data, 6) == sequence;
            result.icmpType = error->ee_type;
            const auto *offender = reinterpret_cast<const sockaddr_in *>(SO_EE_OFFENDER(error));
            if (offender->sin_family == AF_INET)
                result.offender = offender->sin_addr;
            result.quotedBytes = int(data.size());
        } else if (error->ee_origin == SO_EE_ORIGIN_LOCAL) {
            result.originErrno = int(error->ee_errno);
        }
    }
    return result;
}

} // namespace

QString notPermittedText()
{
    const QString program = QCoreApplication::instance() ? QCoreApplication::applicationFilePath()
                                                         : QStringLiteral("qzr-setting-tool");
    return QStringLiteral(
               "This user may not send ICMP echo requests (ping). Allow it for all groups with\r\n"
               "  sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\r\n"
               "or give the tool the right to use raw sockets with\r\n"
               "  sudo setcap cap_net_raw+ep %1")
        .arg(program);
}

SocketKind availableSocketKind()
{
    const OpenResult opened = openEchoSocket();
    const SocketHandle socket(opened.fd);
    return opened.kind;
}

quint16 internetChecksum(const QByteArray &data)
{
    quint32 sum = 0;
    const int size = int(data.size());
    for (int i = 0; i + 1 < size; i += 2)
        sum += readBigEndian16(data, i);
    if (size % 2)
        sum += quint32(quint8(data.at(size - 1))) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(~sum);
}

QByteArray echoRequestPacket(quint16 identifier, quint16 sequence, const QByteArray &payload)
{
    QByteArray packet(kIcmpHeaderBytes, '\0');
    packet[0] = char(kEchoRequest);
    packet[1] = 0;
    packet[4] = char(identifier >> 8);
    packet[5] = char(identifier & 0xFF);
    packet[6] = char(sequence >> 8);
    packet[7] = char(sequence & 0xFF);
    packet += payload;
    const quint16 checksum = internetChecksum(packet);
    packet[2] = char(checksum >> 8);
    packet[3] = char(checksum & 0xFF);
    return packet;
}

Classified classifyIcmpMessage(const QByteArray &message, quint16 identifier, quint16 sequence,
                               bool checkIdentifier)
{
    if (message.size() < kIcmpHeaderBytes)
        return {Classified::Failure, -1, notEnoughBytesText()};
    const int type = quint8(message.at(0));
    const auto matches = [&](const QByteArray &echo) {
        return readBigEndian16(echo, 6) == sequence
            && (!checkIdentifier || readBigEndian16(echo, 4) == identifier);
    };
    switch (type) {
    case kEchoReply:
        return {matches(message) ? Classified::Answer : Classified::Unrelated, type, {}};
    case kEchoRequest:
        return {Classified::Unrelated, type, {}};
    case kDestinationUnreachable:
    case kTimeExceeded: {
        // The error quotes the IP header and the first 8 bytes of the packet
        // it is about.
        const QByteArray quoted = message.mid(kIcmpHeaderBytes);
        if (quoted.size() < kIpHeaderBytes)
            return {Classified::Unrelated, type, {}};
        const int quotedHeader = (quint8(quoted.at(0)) & 0x0F) * 4;
        const bool isIcmp = quint8(quoted.at(9)) == IPPROTO_ICMP;
        if (!isIcmp || quotedHeader < kIpHeaderBytes || quoted.size() < quotedHeader + kIcmpHeaderBytes)
            return {Classified::Unrelated, type, {}};
        const QByteArray request = quoted.mid(quotedHeader, kIcmpHeaderBytes);
        const bool ours = quint8(request.at(0)) == kEchoRequest && matches(request);
        return {ours ? Classified::Answer : Classified::Unrelated, type, {}};
    }
    default:
        return {Classified::Failure, type, nonEchoTypeText()};
    }
}

Classified classifyRawPacket(const QByteArray &packet, quint16 identifier, quint16 sequence, int *ttl,
                             int *icmpBytes)
{
    const int headerBytes = packet.isEmpty() ? 0 : (quint8(packet.at(0)) & 0x0F) * 4;
    if (packet.size() < kIpHeaderBytes || headerBytes < kIpHeaderBytes
        || packet.size() < headerBytes + kIcmpHeaderBytes)
        return {Classified::Failure, -1, notEnoughBytesText()};
    if (ttl)
        *ttl = quint8(packet.at(8));
    if (icmpBytes)
        *icmpBytes = int(packet.size()) - headerBytes;
    return classifyIcmpMessage(packet.mid(headerBytes), identifier, sequence, true);
}

EchoResult sendEcho(const EchoRequest &request)
{
    const Resolved target = resolveIpv4(request.host);
    if (!target.errorText.isEmpty())
        return EchoResult::failure(target.errorText);

    const OpenResult opened = openEchoSocket();
    if (opened.fd < 0)
        return EchoResult::failure(opened.errorText);
    const SocketHandle socket(opened.fd);
    const bool datagram = opened.kind == SocketKind::Datagram;
    if (datagram) {
        // The answer's TTL comes as ancillary data; ICMP errors about our
        // request come on the error queue instead of failing the receive.
        const int on = 1;
        ::setsockopt(socket.fd(), SOL_IP, IP_RECVTTL, &on, sizeof on);
        ::setsockopt(socket.fd(), SOL_IP, IP_RECVERR, &on, sizeof on);
    }

    // A datagram socket's identifier is the kernel's choice.
    const quint16 identifier = datagram ? 0 : nextRawIdentifier();
    const QByteArray packet = echoRequestPacket(identifier, request.sequence, echoPayload());
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr = target.address;

    const Clock::time_point sent = Clock::now();
    if (::sendto(socket.fd(), packet.constData(), size_t(packet.size()), 0,
                 reinterpret_cast<const sockaddr *>(&destination), sizeof destination) < 0)
        return EchoResult::failure(socketErrorText(errno));
    const Clock::time_point deadline = sent + std::chrono::milliseconds(request.wait_ms);

    const auto answered = [&](int bytes, const in_addr &from, int ttl, int type) {
        EchoAnswer answer;
        answer.bytesReceived = bytes;
        answer.fromAddress = dottedAddress(from);
        answer.sequence = request.sequence;
        answer.ttl = ttl;
        answer.icmpType = type;
        answer.roundTripMs =
            int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count());
        return EchoResult{answer, {}};
    };

    QByteArray buffer(kReceiveBufferBytes, '\0');
    for (int messages = 0; messages < kMaxMessagesPerWait; ++messages) {
        const auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (remaining <= 0)
            break;
        pollfd waiting{socket.fd(), POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(remaining) + 1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return EchoResult::failure(socketErrorText(errno));
        }
        if (ready == 0)
            break;

        if (datagram && (waiting.revents & POLLERR)) {
            const QueuedError error = readErrorQueue(socket.fd(), request.sequence);
            if (error.originErrno)
                return EchoResult::failure(socketErrorText(error.originErrno));
            if (!error.isOurs)
                continue;
            if (error.icmpType != kDestinationUnreachable && error.icmpType != kTimeExceeded)
                return EchoResult::failure(nonEchoTypeText());
            // The error message itself: its header, the quoted IP header and
            // the quoted part of our request.
            return answered(kIcmpHeaderBytes + kIpHeaderBytes + error.quotedBytes, error.offender, 0,
                            error.icmpType);
        }
        if (!(waiting.revents & POLLIN))
            continue;

        sockaddr_in from{};
        char control[256];
        iovec io{buffer.data(), size_t(buffer.size())};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t received = ::recvmsg(socket.fd(), &message, MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return EchoResult::failure(socketErrorText(errno));
        }
        const QByteArray data = QByteArray::fromRawData(buffer.constData(), int(received));

        if (datagram) {
            int ttl = 0;
            for (cmsghdr *header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
                if (header->cmsg_level == SOL_IP && header->cmsg_type == IP_TTL)
                    std::memcpy(&ttl, CMSG_DATA(header), sizeof ttl);
            }
            const Classified seen = classifyIcmpMessage(data, identifier, request.sequence, false);
            if (seen.kind == Classified::Failure)
                return EchoResult::failure(seen.errorText);
            if (seen.kind == Classified::Answer)
                return answered(int(received), from.sin_addr, ttl, seen.icmpType);
        } else {
            int ttl = 0;
            int icmpBytes = 0;
            const Classified seen = classifyRawPacket(data, identifier, request.sequence, &ttl, &icmpBytes);
            if (seen.kind == Classified::Failure)
                return EchoResult::failure(seen.errorText);
            if (seen.kind == Classified::Answer)
                return answered(icmpBytes, from.sin_addr, ttl, seen.icmpType);
        }
    }
    return {}; // no answer within the wait
}

} // namespace qzr::icmp
