#pragma once
#include "protocol/CameraError.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

struct curl_slist;

namespace qzr {

class TransferRunner;

// The outcome of one GET: either the reply body, or the failure text that the
// error report shows (never an empty body that looks like success).
struct HttpReply
{
    bool ok = false;
    RequestFailure failure = RequestFailure::None;
    QByteArray body;
    int statusCode = 0;
    QString statusText;   // the status line without its protocol token: "200 OK"
    QString errorText;    // set when !ok: "401 Unauthorized", "Socket Error # 111\r\nConnection refused.", ...
    // A new connection was opened (or tried) for this request; the client's
    // status text before it is what the reply log shows at that moment.
    bool openedConnection = false;
    QString statusTextBeforeConnect;
};

// The camera's HTTP client, built on libcurl. Widget-free and synchronous:
// get() blocks the calling thread. It keeps at most one connection alive and
// reuses it for the same host and port; it never follows redirects and never
// re-sends a request on its own. Only one thread may use it at a time.
class ParamClient
{
public:
    static constexpr int kConnectTimeoutMs = 10'000;
    static constexpr int kReplyTimeoutMs = 30'000;
    static constexpr qint64 kMaxBodyBytes = 16 * 1024 * 1024;
    // The most of a status line's text that is kept (for messages).
    static constexpr int kMaxStatusTextBytes = 256;

    ParamClient();
    ~ParamClient();
    ParamClient(const ParamClient &) = delete;
    ParamClient &operator=(const ParamClient &) = delete;

    void setConnectTimeoutMs(int ms) { m_connectTimeoutMs = ms; }
    void setReplyTimeoutMs(int ms) { m_replyTimeoutMs = ms; }
    int replyTimeoutMs() const { return m_replyTimeoutMs; }

    // User name and password of the next requests; an empty user sends no
    // Authorization header.
    void setCredentials(const QString &user, const QString &password);

    // Sends "GET target HTTP/1.1" to host:port and returns the outcome.
    HttpReply get(const QString &host, int port, const QByteArray &target);

    // The status text of the most recent reply ("" before the first).
    QString lastStatusText() const { return m_lastStatusText; }

    // Number of connections opened (or tried) so far.
    int connectionsOpened() const { return m_connectionsOpened; }

    // Closes the kept-alive connection, if any.
    void closeConnection();

    // Who carries out the transfers (TransferRunner.h); nullptr, the default:
    // this thread, blocking. Set before the first request; the runner must
    // outlive the client.
    void setTransferRunner(TransferRunner *runner) { m_runner = runner; }

    // Makes a running get() on another thread give up at once: its
    // connection is shut down and it fails as cancelled. Until clearAbort(),
    // every later get() fails the same way without sending anything.
    void abort();
    void clearAbort() { m_abort = false; }
    bool abortRequested() const { return m_abort; }

    struct Transfer;
    // The connection's socket as libcurl opens and closes it.
    void socketOpened(int socket);
    void closeSocket(int socket);

private:
    void ensureHandle(const QString &host, int port);
    // The request headers of the handle's camera and the current credentials.
    void ensureHeaders();

    void *m_curl = nullptr;
    curl_slist *m_headers = nullptr; // nullptr: to be made before the next request
    QString m_handleHost;
    int m_handlePort = -1;
    QString m_user;
    QString m_password;
    QString m_lastStatusText;
    int m_connectionsOpened = 0;
    int m_connectTimeoutMs = kConnectTimeoutMs;
    int m_replyTimeoutMs = kReplyTimeoutMs;
    std::atomic<bool> m_abort{false};
    // The socket of the connection, shut down by abort() from another thread.
    std::mutex m_socketMutex;
    int m_socket = -1;
    TransferRunner *m_runner = nullptr;
};

} // namespace qzr
