#pragma once

#include <QTcpServer>

#include <functional>

namespace qzr::sim {

// A camera's listening socket. It hands every accepted connection's
// descriptor to a function instead of queueing a socket of its own, so that
// a fleet can keep all its listening sockets on one thread, woken only by new
// connections, while the connections are served on the cameras' threads.
class Listener : public QTcpServer
{
    Q_OBJECT
public:
    using HandOff = std::function<void(qintptr descriptor)>;
    explicit Listener(HandOff handOff) : m_handOff(std::move(handOff)) {}

protected:
    void incomingConnection(qintptr descriptor) override { m_handOff(descriptor); }

private:
    HandOff m_handOff;
};

} // namespace qzr::sim
