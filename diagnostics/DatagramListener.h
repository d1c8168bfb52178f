#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>

class QUdpSocket;

namespace qzr {

// Listens for UDP datagrams on one port of all local IPv4 addresses
// (broadcasts included) and hands each on as it arrives, in order. It never
// answers and never sends. Widget-free.
class DatagramListener : public QObject
{
    Q_OBJECT

public:
    explicit DatagramListener(QObject *parent = nullptr);
    ~DatagramListener() override;

    // Binds the port (0: any free port). False when the system refused;
    // bindErrno() then says why.
    bool listen(quint16 port);

    bool isListening() const { return m_socket != nullptr; }
    quint16 port() const;
    int bindErrno() const { return m_bindErrno; }

signals:
    // One datagram, cut to diagnostics::kMaxDatagramBytes.
    void received(const QByteArray &datagram);

private:
    void readPending();

    QUdpSocket *m_socket = nullptr;
    int m_bindErrno = 0;
};

} // namespace qzr
