#include "diagnostics/DatagramListener.h"

#include "diagnostics/Diagnostics.h"
#include "protocol/Logging.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qzr {

namespace {
// Datagrams read per notification; more waiting ones notify again.
constexpr int kMaxDatagramsPerRead = 1000;
} // namespace

DatagramListener::DatagramListener(QObject *parent)
    : QObject(parent)
{
}

DatagramListener::~DatagramListener() = default;

bool DatagramListener::listen(quint16 port)
{
    // Bound by hand rather than by QUdpSocket::bind so that the system's own
    // reason (errno) for a refusal can be shown; the socket never shares its
    // port, so a second copy of the tool is refused.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_bindErrno = errno;
        return false;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) < 0) {
        m_bindErrno = errno;
        ::close(fd);
        qCInfo(lcApp) << "UDP log: port" << port << "could not be bound, errno" << m_bindErrno;
        return false;
    }
    auto *socket = new QUdpSocket(this);
    if (!socket->setSocketDescriptor(fd, QAbstractSocket::BoundState, QIODevice::ReadOnly)) {
        m_bindErrno = EBADF;
        ::close(fd);
        delete socket;
        return false;
    }
    m_socket = socket;
    m_bindErrno = 0;
    connect(m_socket, &QUdpSocket::readyRead, this, &DatagramListener::readPending);
    return true;
}

quint16 DatagramListener::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

void DatagramListener::readPending()
{
    for (int i = 0; i < kMaxDatagramsPerRead && m_socket->hasPendingDatagrams(); ++i) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(diagnostics::kMaxDatagramBytes);
        emit received(datagram.data());
    }
}

} // namespace qzr
