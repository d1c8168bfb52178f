#pragma once
#include "discovery/FoundCameras.h"
#include "discovery/LocalInterfaces.h"
#include "discovery/SweepRange.h"
#include "discovery/WsDiscovery.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <memory>

class QUdpSocket;

namespace qzr::discovery {

struct SearchOptions
{
    static constexpr int kDefaultWaitMs = 3000;
    static constexpr int kDefaultJobs = 64;
    static constexpr int kMaxJobs = 256;
    static constexpr int kProbeRepeats = 3;
    static constexpr int kProbeIntervalMs = 250;
    static constexpr int kConnectTimeoutMs = 700;
    static constexpr int kReplyTimeoutMs = 3000;

    QStringList interfaces;        // names or addresses; empty: every interface up and multicast-capable
    QList<SweepRange> sweeps;      // none: no sweep
    int wait_ms = kDefaultWaitMs;  // how long WS-Discovery answers are collected
    int jobs = kDefaultJobs;       // reads under way at once (sweep and identity)
    int probeRepeats = kProbeRepeats;
    int probeInterval_ms = kProbeIntervalMs;
    int connectTimeout_ms = kConnectTimeoutMs;
    int replyTimeout_ms = kReplyTimeoutMs;
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("kqm");
    quint16 discoveryPort = kDiscoveryPort;
};

// One search for cameras: WS-Discovery on the chosen interfaces (Probe sent
// several times, ProbeMatches collected for the wait, Hello and Bye heard
// meanwhile), an address sweep of the given ranges, and the identity of
// every camera found. Runs on the thread that owns it; the HTTP reads run on
// a pool of its own. Results arrive as they come; finished() ends a search,
// also a stopped one.
class CameraFinder : public QObject
{
    Q_OBJECT

public:
    explicit CameraFinder(QObject *parent = nullptr);
    ~CameraFinder() override;

    // The interface table to choose from (the system's unless set).
    void setInterfaceTable(const QList<LocalInterface> &table) { m_table = table; m_tableSet = true; }

    // Starts a search, ending one under way. False (and errorText()) when an
    // interface asked for does not exist or no socket could be opened.
    bool start(const SearchOptions &options);
    // Ends the search now: nothing more is sent, reads under way are
    // abandoned, finished() follows at once.
    void stop();
    bool isRunning() const { return m_running; }

    QString errorText() const { return m_error; }
    // Problems that did not stop the search (an interface that could not
    // join the group), for the user to read.
    QStringList warnings() const { return m_warnings; }
    QList<FoundCamera> cameras() const { return m_list.cameras(); }
    QList<LocalInterface> interfacesInUse() const { return m_interfaces; }

signals:
    void camerasChanged();
    void progressChanged(int done, int total);
    void finished();

private:
    struct Run;
    struct Prober
    {
        LocalInterface interface;
        QUdpSocket *socket = nullptr;
    };

    void sendProbes();
    void readDatagrams(QUdpSocket *socket, const QString &interfaceName);
    void handleMessage(const Message &message, const QString &interfaceName);
    void queueIdentity(const QString &address, int port);
    void startSweep();
    void taskDone();
    void discoveryWindowEnded();
    void finishIfDone();
    void closeSockets();
    void reportProgress();
    QString interfaceForIndex(int index) const;

    SearchOptions m_options;
    QList<LocalInterface> m_table;
    bool m_tableSet = false;
    QList<LocalInterface> m_interfaces;
    QList<Prober> m_probers;
    QUdpSocket *m_listener = nullptr;
    QString m_messageId;
    int m_probesSent = 0;
    QTimer m_probeTimer;
    QTimer m_windowTimer;
    QTimer m_progressTimer;
    QElapsedTimer m_elapsed;
    FoundCameraList m_list;
    QSet<QString> m_identityQueued;
    std::shared_ptr<Run> m_run;
    int m_tasksTotal = 0;
    int m_tasksDone = 0;
    bool m_windowOpen = false;
    bool m_running = false;
    QString m_error;
    QStringList m_warnings;
    QThreadPool m_pool; // last: waited for before the rest goes
};

} // namespace qzr::discovery
