#pragma once
#include "discovery/FoundCameras.h"
#include "discovery/LocalInterfaces.h"
#include "discovery/SweepRange.h"
#include "discovery/WsDiscovery.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QUdpSocket;

namespace qzr {
class FleetCamera;
class FleetLoops;
}

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
    // The credentials go only with the reads of model, firmware and MAC
    // that the user asks for: `identify` (every camera found) or
    // readDetails(); a search itself sends none.
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("kqm");
    bool identify = false;
    quint16 discoveryPort = kDiscoveryPort;
    // Room for a thousand replies arriving at once.
    int receiveBufferBytes = 4 * 1024 * 1024;
    // How long after the wait reads of what answered may still finish.
    int graceMs = 1000;
};

// One search for cameras: WS-Discovery on the chosen interfaces (Probe sent
// several times, ProbeMatches collected for the wait, Hello and Bye heard
// meanwhile) and an address sweep of the given ranges. Every camera found
// is read once without credentials, only at the address its message came
// from (model, firmware and MAC where it answers; "login needed" where it
// does not); with the credentials only when asked. Runs on the thread that
// owns it; the HTTP reads run as a fleet of cameras on threads of their own
// (protocol/FleetLoop.h) and their results come back to the owner's thread.
// The list is refreshed at most every 100 ms (camerasChanged()); finished()
// ends a search, also a stopped one, at the latest one second after the wait
// (sweeps aside).
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
    // The same, unsorted (for a view that sorts itself).
    const QList<FoundCamera> &unsortedCameras() const { return m_list.entries(); }
    int cameraCount() const { return m_list.size(); }
    QList<LocalInterface> interfacesInUse() const { return m_interfaces; }
    // Replies the system dropped because they came faster than they were
    // read (the kernel's count for the search's sockets), known once the
    // wait is over.
    int droppedReplies() const { return m_dropped; }
    // Cameras that answered after the list was full (kMaxListedCameras).
    int notListed() const { return m_list.notListed(); }
    // What the footer of a list says about replies lost or not listed; empty
    // when nothing was.
    QStringList lossTexts() const;

    // Reads model, firmware and MAC with the credentials of `options` from
    // each of `cameras` (at its readHost()), also after a search; finished()
    // follows when all are read. The addresses it logs in to:
    static QStringList detailTargets(const QList<FoundCamera> &cameras);
    void readDetails(const QList<FoundCamera> &cameras, const SearchOptions &options);

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
    void handleMessage(const Message &message, const QString &interfaceName, const QString &sender);
    void queueIdentity(const QString &address, int port, bool withCredentials, bool cutAfterWait);
    void graceEnded();
    void refresh();
    void countDrops();
    void startSweep();
    void taskDone();
    void discoveryWindowEnded();
    void finishIfDone();
    void closeSockets();
    void reportProgress();
    QString interfaceForIndex(int index) const;
    // Runs a read on the search's fleet (made at the first, with the jobs of
    // m_options).
    void runRead(std::function<void(FleetCamera &camera)> read);

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
    QTimer m_graceTimer;
    QTimer m_refreshTimer;
    bool m_dirty = false;
    int m_dropped = 0;
    std::shared_ptr<Run> m_readRun; // reads of what answered: cut one second after the wait
    int m_readsPending = 0;
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
    std::unique_ptr<FleetLoops> m_fleet; // last: waited for before the rest goes
};

} // namespace qzr::discovery
