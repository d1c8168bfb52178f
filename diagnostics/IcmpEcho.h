#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

// One ICMP echo ("ping") to an IPv4 host, without a shell and without the
// system's ping program. Widget-free; sendEcho() blocks the calling thread.
//
// Two kinds of socket can send an echo on Linux:
// - an ICMP datagram socket (SOCK_DGRAM, IPPROTO_ICMP): allowed to ordinary
//   users whose group lies in net.ipv4.ping_group_range; the kernel fills in
//   the identifier, delivers only the echo replies meant for this socket and
//   reports ICMP errors on the socket's error queue;
// - a raw ICMP socket: needs root or CAP_NET_RAW; it sees every ICMP message
//   that reaches the host, with its IP header, and we pick out our answer.
// The first one that the system allows is used.
namespace qzr::icmp {

// How long an echo waits for its answer.
constexpr int kEchoWaitMs = 2000;
// Bytes of data after the ICMP header in each request.
constexpr int kEchoPayloadBytes = 32;
constexpr int kIcmpHeaderBytes = 8;

// ICMP message types that matter here.
enum MessageType : int {
    kEchoReply = 0,
    kDestinationUnreachable = 3,
    kEchoRequest = 8,
    kTimeExceeded = 11,
};

// What the echo asks for.
struct EchoRequest
{
    QString host;                 // dotted IPv4 address or host name
    int wait_ms = kEchoWaitMs;
    quint16 sequence = 1;
};

// An answer that arrived within the wait.
struct EchoAnswer
{
    int bytesReceived = 0;   // size of the answering ICMP message (header and data)
    QString fromAddress;     // who answered, dotted
    int sequence = 0;        // the echo sequence number it answers
    int ttl = 0;             // time-to-live of the answer's IP packet (0: not known)
    int icmpType = kEchoReply;
    int roundTripMs = 0;     // whole milliseconds, rounded down
};

// The outcome of one echo: an answer, no answer within the wait, or a failure
// (the name did not resolve, the socket could not be opened, the answer was
// unusable). A failure's text goes to the error report.
struct EchoResult
{
    std::optional<EchoAnswer> answer;
    QString errorText;

    bool failed() const { return !errorText.isEmpty(); }
    static EchoResult failure(const QString &text) { return {std::nullopt, text}; }
};

// Sends one echo request to request.host and waits up to request.wait_ms for
// the answer. Blocks; safe to call from a worker thread.
EchoResult sendEcho(const EchoRequest &request);

// Which socket kind this process may use for echoes, if any.
enum class SocketKind { Datagram, Raw, None };
SocketKind availableSocketKind();

// The failure text when the system allows neither socket kind: what to change.
QString notPermittedText();

// --- The packet rules, plain and tested directly. ---

// An echo request: type 8, code 0, identifier, sequence, the payload and the
// Internet checksum.
QByteArray echoRequestPacket(quint16 identifier, quint16 sequence, const QByteArray &payload);

// The 16-bit one's complement checksum of RFC 1071.
quint16 internetChecksum(const QByteArray &data);

// What one received ICMP message means for a waiting echo.
struct Classified
{
    enum Kind {
        Answer,   // the answer to our request (echo reply, or an error about it)
        Unrelated,// someone else's traffic, or our own request seen on loopback: keep waiting
        Failure,  // the ping fails with errorText
    };
    Kind kind = Unrelated;
    int icmpType = -1;
    QString errorText;
};

// Failure texts of unusable answers.
inline QString notEnoughBytesText() { return QStringLiteral("Not enough bytes received"); }
inline QString nonEchoTypeText() { return QStringLiteral("Non-echo type response received"); }

// Classifies an ICMP message (starting at its ICMP header). An echo reply is
// ours when its sequence matches and, where checkIdentifier is set, its
// identifier too (a datagram socket's identifier is chosen by the kernel,
// which already filters). Destination unreachable and time exceeded are ours
// when the request they quote is. An echo request never answers (on loopback
// a raw socket sees its own). Any other type fails the ping, as does a message
// too short for an ICMP header.
Classified classifyIcmpMessage(const QByteArray &message, quint16 identifier, quint16 sequence,
                               bool checkIdentifier);

// The same for a packet as a raw socket delivers it, IP header first; ttl
// receives the IP header's time-to-live.
Classified classifyRawPacket(const QByteArray &packet, quint16 identifier, quint16 sequence,
                             int *ttl = nullptr, int *icmpBytes = nullptr);

} // namespace qzr::icmp
