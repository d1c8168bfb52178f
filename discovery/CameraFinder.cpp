#include "discovery/CameraFinder.h"

#include "discovery/CameraQueries.h"
#include "protocol/FleetLoop.h"
#include "protocol/ParamClient.h"
#include "protocol/StoppableReads.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QSet>
#include <QThread>
#include <QUdpSocket>
#include <QVariant>

#include <QFile>

#include <sys/socket.h>
#include <sys/stat.h>

namespace qzr::discovery {

namespace {
// Progress units the WS-Discovery wait counts for, beside one per read.
constexpr int kWindowUnits = 20;
constexpr int kProgressTickMs = 100;
constexpr int kRefreshMs = 100;
constexpr int kDatagramsPerTurn = 64;

// The address a datagram came from, as the XAddrs would write it.
QString senderText(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(ipv4).toString() : address.toString();
}

// Asks the system for room for `bytes` of datagrams waiting to be read
// (beyond its usual limit where the process may).
void enlargeReceiveBuffer(QUdpSocket *socket, int bytes)
{
    const int descriptor = int(socket->socketDescriptor());
    if (descriptor < 0)
        return;
    if (::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

// The kernel's count of datagrams dropped for the sockets with these inodes
// (/proc/net/udp, last column).
int droppedDatagrams(const QSet<quint64> &inodes)
{
    int dropped = 0;
    QFile table(QStringLiteral("/proc/net/udp"));
    if (inodes.isEmpty() || !table.open(QIODevice::ReadOnly))
        return 0;
    table.readLine(); // header
    for (int line = 0; line < 65536 && !table.atEnd(); ++line) {
        const QList<QByteArray> fields = table.readLine(4096).simplified().split(' ');
        if (fields.size() >= 13 && inodes.contains(fields.at(9).toULongLong()))
            dropped += fields.at(12).toInt();
    }
    return dropped;
}

quint64 socketInode(const QUdpSocket *socket)
{
    struct stat status {};
    const int descriptor = int(socket->socketDescriptor());
    return descriptor >= 0 && ::fstat(descriptor, &status) == 0 ? quint64(status.st_ino) : 0;
}
} // namespace

// What the reads of one search share with it: whether it was stopped, and
// the clients under way, so that stopping can abort them.
struct CameraFinder::Run : StoppableReads
{
    // Runs work with a fresh client on `camera` unless the search was
    // stopped.
    template<typename Work>
    void withClient(const SearchOptions &options, bool withCredentials, FleetCamera &camera, Work work)
    {
        if (stopped())
            return;
        ParamClient client;
        client.setTransferRunner(&camera);
        client.setConnectTimeoutMs(options.connectTimeout_ms);
        client.setReplyTimeoutMs(options.replyTimeout_ms);
        if (withCredentials)
            client.setCredentials(options.user, options.password);
        run(client, work);
    }
};

CameraFinder::CameraFinder(QObject *parent)
    : QObject(parent)
{
    m_probeTimer.setInterval(SearchOptions::kProbeIntervalMs);
    connect(&m_probeTimer, &QTimer::timeout, this, &CameraFinder::sendProbes);
    m_windowTimer.setSingleShot(true);
    m_windowTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_windowTimer, &QTimer::timeout, this, &CameraFinder::discoveryWindowEnded);
    m_progressTimer.setInterval(kProgressTickMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &CameraFinder::reportProgress);
    m_graceTimer.setSingleShot(true);
    connect(&m_graceTimer, &QTimer::timeout, this, &CameraFinder::graceEnded);
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CameraFinder::refresh);
}

CameraFinder::~CameraFinder()
{
    if (m_run)
        m_run->stop();
    if (m_readRun)
        m_readRun->stop();
    closeSockets();
    // The reads end at once (stopped or cancelled); their results are not
    // delivered.
    m_fleet.reset();
}

void CameraFinder::runRead(std::function<void(FleetCamera &camera)> read)
{
    // A thread per core, as for the fleet commands: the reads are mostly
    // waiting, but a sweep's many short ones keep a thread busy.
    if (!m_fleet)
        m_fleet = std::make_unique<FleetLoops>(m_options.jobs, QThread::idealThreadCount());
    m_fleet->add(std::move(read));
}

bool CameraFinder::start(const SearchOptions &options)
{
    if (m_running)
        stop();
    m_options = options;
    m_options.jobs = qBound(1, options.jobs, SearchOptions::kMaxJobs);
    m_error.clear();
    m_warnings.clear();
    m_list.clear();
    m_identityQueued.clear();
    m_tasksTotal = 0;
    m_tasksDone = 0;
    m_probesSent = 0;

    const QList<LocalInterface> table = m_tableSet ? m_table : localInterfaces();
    m_interfaces = selectInterfaces(table, options.interfaces, &m_error);
    if (!m_error.isEmpty())
        return false;

    m_run = std::make_shared<Run>();
    m_readRun = std::make_shared<Run>();
    m_readsPending = 0;
    m_dropped = 0;
    m_dirty = false;
    if (m_fleet)
        m_fleet->setJobs(m_options.jobs);
    m_messageId = newMessageId();

    // One prober per interface address: the probe leaves by that interface
    // and the unicast answers come back to its socket.
    for (const LocalInterface &interface : std::as_const(m_interfaces)) {
        auto *socket = new QUdpSocket(this);
        if (!socket->bind(interface.address, 0)) {
            m_warnings << QStringLiteral("%1 (%2): %3").arg(interface.name, interface.address.toString(),
                                                             socket->errorString());
            delete socket;
            continue;
        }
        enlargeReceiveBuffer(socket, m_options.receiveBufferBytes);
        socket->setMulticastInterface(QNetworkInterface::interfaceFromName(interface.name));
        socket->setSocketOption(QAbstractSocket::MulticastLoopbackOption, QVariant(1));
        socket->setSocketOption(QAbstractSocket::MulticastTtlOption, QVariant(1));
        const QString name = interface.name;
        connect(socket, &QUdpSocket::readyRead, this, [this, socket, name] { readDatagrams(socket, name); });
        m_probers.append({interface, socket});
    }
    // Hello and Bye come to the discovery port, on the interfaces joined.
    m_listener = new QUdpSocket(this);
    if (m_listener->bind(QHostAddress::AnyIPv4, m_options.discoveryPort,
                         QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        enlargeReceiveBuffer(m_listener, m_options.receiveBufferBytes);
        QSet<QString> joined; // once per interface, whatever its addresses
        for (const Prober &prober : std::as_const(m_probers)) {
            if (joined.contains(prober.interface.name))
                continue;
            joined.insert(prober.interface.name);
            if (!m_listener->joinMulticastGroup(kDiscoveryGroup, QNetworkInterface::interfaceFromName(prober.interface.name)))
                m_warnings << QStringLiteral("%1: cannot hear announcements: %2")
                                  .arg(prober.interface.name, m_listener->errorString());
        }
        connect(m_listener, &QUdpSocket::readyRead, this, [this] { readDatagrams(m_listener, QString()); });
    } else {
        m_warnings << QStringLiteral("announcements are not heard: %1").arg(m_listener->errorString());
        delete m_listener;
        m_listener = nullptr;
    }
    if (m_probers.isEmpty() && m_options.sweeps.isEmpty() && !m_interfaces.isEmpty()) {
        m_error = QStringLiteral("no interface could send a probe: ") + m_warnings.join(QStringLiteral("; "));
        closeSockets();
        return false;
    }

    m_running = true;
    m_windowOpen = true;
    m_elapsed.start();
    m_probeTimer.setInterval(m_options.probeInterval_ms);
    sendProbes();
    m_windowTimer.start(m_options.wait_ms);
    m_progressTimer.start();
    m_refreshTimer.start();
    startSweep();
    reportProgress();
    return true;
}

QStringList CameraFinder::lossTexts() const
{
    QStringList texts;
    if (m_dropped > 0)
        texts << QStringLiteral("%1 replies were dropped by the system (they came faster than they were read); "
                                "search again to find the cameras they came from")
                     .arg(m_dropped);
    if (notListed() > 0)
        texts << QStringLiteral("the list is full at %1 cameras; %2 more answered and are not listed")
                     .arg(kMaxListedCameras)
                     .arg(notListed());
    return texts;
}

QStringList CameraFinder::detailTargets(const QList<FoundCamera> &cameras)
{
    QStringList targets;
    for (const FoundCamera &camera : cameras) {
        const QString target = camera.readHost() + QLatin1Char(':') + QString::number(camera.port);
        if (camera.readable() && !targets.contains(target))
            targets << target;
    }
    return targets;
}

void CameraFinder::readDetails(const QList<FoundCamera> &cameras, const SearchOptions &options)
{
    if (!m_running) {
        m_run = std::make_shared<Run>();
        m_readRun = std::make_shared<Run>();
        m_readsPending = 0;
        m_tasksTotal = 0;
        m_tasksDone = 0;
        m_windowOpen = false;
        m_running = true;
        m_elapsed.start();
        m_progressTimer.start();
        m_refreshTimer.start();
    }
    m_options.user = options.user;
    m_options.password = options.password;
    for (const FoundCamera &camera : cameras) {
        if (!camera.readable())
            continue;
        // Asked for by name: read again even if read without credentials.
        m_identityQueued.remove(QStringLiteral("1|") + camera.readHost() + QLatin1Char(':')
                                + QString::number(camera.port));
        queueIdentity(camera.readHost(), camera.port, true, false);
    }
    finishIfDone();
}

void CameraFinder::stop()
{
    if (!m_running)
        return;
    m_run->stop();
    m_probeTimer.stop();
    m_windowTimer.stop();
    m_windowOpen = false;
    countDrops();
    closeSockets();
    m_running = false;
    m_progressTimer.stop();
    m_refreshTimer.stop();
    m_graceTimer.stop();
    m_readRun->stop();
    m_list.applyFlags(m_interfaces);
    emit camerasChanged();
    emit finished();
}

void CameraFinder::sendProbes()
{
    const QByteArray probe = probeMessage(m_messageId);
    for (const Prober &prober : std::as_const(m_probers))
        prober.socket->writeDatagram(probe, kDiscoveryGroup, m_options.discoveryPort);
    if (++m_probesSent < m_options.probeRepeats)
        m_probeTimer.start();
    else
        m_probeTimer.stop();
}

QString CameraFinder::interfaceForIndex(int index) const
{
    for (const Prober &prober : m_probers) {
        if (prober.interface.index == index)
            return prober.interface.name;
    }
    return {};
}

void CameraFinder::readDatagrams(QUdpSocket *socket, const QString &interfaceName)
{
    // A few at a time: under a flood the event loop must still get to the
    // user's input and to the window's repaints; the socket says again that
    // it has more.
    for (int count = 0; count < kDatagramsPerTurn && socket->hasPendingDatagrams(); ++count) {
        const QNetworkDatagram datagram = socket->receiveDatagram(kMaxDatagramBytes + 1);
        if (!m_windowOpen)
            continue;
        QString heardOn = interfaceName;
        if (heardOn.isEmpty()) {
            // The shared listener: only the interfaces of this search count.
            heardOn = interfaceForIndex(int(datagram.interfaceIndex()));
            if (heardOn.isEmpty() && datagram.interfaceIndex() == 0 && m_probers.size() == 1)
                heardOn = m_probers.first().interface.name;
            if (heardOn.isEmpty())
                continue;
        }
        const Message message = parseMessage(datagram.data());
        handleMessage(message, heardOn, senderText(datagram.senderAddress()));
    }
}

void CameraFinder::handleMessage(const Message &message, const QString &interfaceName, const QString &sender)
{
    switch (message.kind) {
    case MessageKind::ProbeMatches:
    case MessageKind::Hello: {
        if (message.kind == MessageKind::ProbeMatches && message.relatesTo != m_messageId)
            return;
        const FoundBy how = message.kind == MessageKind::Hello ? FoundByHello : FoundByProbe;
        for (const Endpoint &endpoint : message.endpoints) {
            const Announcement announcement{endpoint.address, endpoint.xaddrs, endpoint.scopes,
                                            sender, interfaceName, how, endpoint.metadataVersion.toUInt()};
            const FoundCameraList::Added added = m_list.add(announcement, m_interfaces);
            if (added != FoundCameraList::Added::New && added != FoundCameraList::Added::Moved)
                continue;
            m_dirty = true;
            const ChosenXAddr target = chooseXAddr(endpoint.xaddrs, sender, interfaceName, m_interfaces);
            // Read only where the message came from, never a host it names.
            if (!target.host.isEmpty() && !target.https && !target.hostName && !sender.isEmpty())
                queueIdentity(sender, target.port, m_options.identify, true);
        }
        break;
    }
    case MessageKind::Bye:
        // Only the device a camera was heard from can say it leaves.
        for (const Endpoint &endpoint : message.endpoints)
            m_dirty = m_list.removeEndpoint(endpoint.address, sender) || m_dirty;
        break;
    default:
        return;
    }
}

void CameraFinder::refresh()
{
    if (!m_dirty)
        return;
    m_dirty = false;
    m_list.applyFlags(m_interfaces);
    emit camerasChanged();
}

void CameraFinder::queueIdentity(const QString &address, int port, bool withCredentials, bool cutAfterWait)
{
    const QString key = (withCredentials ? QStringLiteral("1|") : QStringLiteral("0|")) + address
        + QLatin1Char(':') + QString::number(port);
    if (m_identityQueued.contains(key))
        return;
    m_identityQueued.insert(key);
    ++m_tasksTotal;
    if (cutAfterWait)
        ++m_readsPending;
    const std::shared_ptr<Run> run = cutAfterWait ? m_readRun : m_run;
    const SearchOptions options = m_options;
    runRead([this, run, options, address, port, withCredentials, cutAfterWait](FleetCamera &camera) {
        Identity identity;
        run->withClient(options, withCredentials, camera,
                        [&](ParamClient &client) { identity = readIdentity(client, address, port); });
        QMetaObject::invokeMethod(this, [this, run, address, port, identity, cutAfterWait] {
            if ((run != m_run && run != m_readRun) || run->stopped())
                return;
            if (identity.done)
                m_list.setIdentity(address, port, identity);
            m_dirty = true;
            if (cutAfterWait)
                --m_readsPending;
            taskDone();
        }, Qt::QueuedConnection);
    });
}

void CameraFinder::graceEnded()
{
    // Reads of what answered that are still under way are abandoned: the
    // search ends one second after its wait, whatever keeps arriving.
    m_readRun->stop();
    m_tasksTotal -= m_readsPending;
    m_readsPending = 0;
    finishIfDone();
}

void CameraFinder::countDrops()
{
    QSet<quint64> inodes;
    for (const Prober &prober : std::as_const(m_probers))
        inodes.insert(socketInode(prober.socket));
    if (m_listener)
        inodes.insert(socketInode(m_listener));
    inodes.remove(0);
    m_dropped += droppedDatagrams(inodes);
}

void CameraFinder::startSweep()
{
    const std::shared_ptr<Run> run = m_run;
    const SearchOptions options = m_options;
    for (const SweepRange &range : std::as_const(m_options.sweeps)) {
        const QList<QHostAddress> addresses = range.addresses();
        m_tasksTotal += int(addresses.size());
        for (const QHostAddress &host : addresses) {
            const QString address = host.toString();
            const int port = range.port;
            runRead([this, run, options, address, port](FleetCamera &camera) {
                // The sweep asks every address without credentials: any web
                // server of the range may answer.
                SweepAnswer answer;
                run->withClient(options, false, camera,
                                [&](ParamClient &client) { answer = sweepAddress(client, address, port); });
                QMetaObject::invokeMethod(this, [this, run, address, port, answer] {
                    if (run != m_run || run->stopped())
                        return;
                    if (answer.camera) {
                        m_list.addSweepHit(address, port);
                        Identity identity;
                        identity.done = true;
                        identity.loginNeeded = answer.loginNeeded;
                        identity.model = answer.model;
                        m_list.setIdentity(address, port, identity);
                        if (m_options.identify || !answer.loginNeeded)
                            queueIdentity(address, port, m_options.identify, false);
                        m_dirty = true;
                    }
                    taskDone();
                }, Qt::QueuedConnection);
            });
        }
    }
}

void CameraFinder::taskDone()
{
    ++m_tasksDone;
    reportProgress();
    finishIfDone();
}

void CameraFinder::discoveryWindowEnded()
{
    m_windowOpen = false;
    m_probeTimer.stop();
    // What is still queued is read now; nothing that arrives later counts.
    for (const Prober &prober : std::as_const(m_probers)) {
        for (int turn = 0; turn < 1024 && prober.socket->hasPendingDatagrams(); ++turn)
            readDatagrams(prober.socket, prober.interface.name);
    }
    countDrops();
    closeSockets();
    m_graceTimer.start(m_options.graceMs);
    reportProgress();
    finishIfDone();
}

void CameraFinder::finishIfDone()
{
    if (!m_running || m_windowOpen || m_tasksDone < m_tasksTotal)
        return;
    m_running = false;
    m_progressTimer.stop();
    m_refreshTimer.stop();
    m_graceTimer.stop();
    m_dirty = false;
    m_list.applyFlags(m_interfaces);
    emit camerasChanged();
    emit progressChanged(m_tasksTotal + kWindowUnits, m_tasksTotal + kWindowUnits);
    emit finished();
}

void CameraFinder::closeSockets()
{
    for (const Prober &prober : std::as_const(m_probers))
        delete prober.socket;
    m_probers.clear();
    delete m_listener;
    m_listener = nullptr;
}

void CameraFinder::reportProgress()
{
    if (!m_running)
        return;
    const int window = m_windowOpen && m_options.wait_ms > 0
        ? int(qMin<qint64>(kWindowUnits, m_elapsed.elapsed() * kWindowUnits / m_options.wait_ms))
        : kWindowUnits;
    emit progressChanged(m_tasksDone + window, m_tasksTotal + kWindowUnits);
}

} // namespace qzr::discovery
