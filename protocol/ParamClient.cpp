#include "protocol/ParamClient.h"

#include "protocol/Logging.h"
#include "protocol/RequestTarget.h"
#include "protocol/TransferRunner.h"

#include <curl/curl.h>

#include <QElapsedTimer>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

namespace qzr {

namespace {

constexpr const char *kAccept = "Accept: text/html, */*";
constexpr const char *kUserAgent = "User-Agent: Mozilla/3.0 (compatible; Indy Library)";

void globalInitOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QString socketErrorText(long osErrno)
{
    QString description = QString::fromLocal8Bit(std::strerror(int(osErrno)));
    if (!description.endsWith(QLatin1Char('.')))
        description += QLatin1Char('.');
    return QStringLiteral("Socket Error # %1\r\n%2").arg(osErrno).arg(description);
}

QString cancelledText()
{
    return QStringLiteral("Cancelled");
}

QString closedGracefullyText()
{
    return QStringLiteral("Connection Closed Gracefully.");
}

QString malformedReplyText(const QString &reason)
{
    return QStringLiteral("The camera's reply is malformed: %1.").arg(reason);
}

QString hostForUrl(const QString &host)
{
    // An IPv6 literal needs brackets in the URL; the Host header keeps the
    // address text as it is.
    return host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('['))
        ? QLatin1Char('[') + host + QLatin1Char(']')
        : host;
}

} // namespace

// Per-request state shared with libcurl's callbacks (all run on the thread
// that calls curl_easy_perform).
struct ParamClient::Transfer
{
    ParamClient *client = nullptr;
    QByteArray body;
    QString statusText;
    bool sawStatusLine = false;
    int requestsSent = 0;   // counted before each send on a connection
    bool refusedResend = false;
    bool openedConnection = false; // a new socket was made (the connect may still fail)
    bool sentOnNewConnection = false; // ... and it connected: the request went out on it
    bool bodyTooLarge = false;
    QElapsedTimer sinceSent;
};

namespace {

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto *transfer = static_cast<ParamClient::Transfer *>(user);
    const size_t bytes = size * count;
    if (transfer->body.size() + qint64(bytes) > ParamClient::kMaxBodyBytes) {
        transfer->bodyTooLarge = true;
        return 0;
    }
    transfer->body.append(data, qsizetype(bytes));
    return bytes;
}

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto *transfer = static_cast<ParamClient::Transfer *>(user);
    const size_t bytes = size * count;
    // Only a status line matters; the other header lines are not copied.
    if (bytes < 5 || std::memcmp(data, "HTTP/", 5) != 0)
        return bytes;
    QByteArray line(data, qsizetype(bytes));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    // A new status line (also after an interim 1xx reply): the text used in
    // messages is the line without its protocol token.
    const qsizetype space = line.indexOf(' ');
    // A camera's status text goes into messages: bounded like any value.
    transfer->statusText =
        space < 0 ? QString() : QString::fromLatin1(line.mid(space + 1, ParamClient::kMaxStatusTextBytes)).trimmed();
    transfer->sawStatusLine = true;
    return bytes;
}

int onPrereq(void *user, char *, char *, int, int)
{
    auto *transfer = static_cast<ParamClient::Transfer *>(user);
    // A cancelled request is not sent at all.
    if (transfer->client && transfer->client->abortRequested())
        return CURL_PREREQFUNC_ABORT;
    ++transfer->requestsSent;
    transfer->sentOnNewConnection = transfer->openedConnection;
    transfer->sinceSent.start();
    return CURL_PREREQFUNC_OK;
}

curl_socket_t onOpenSocket(void *user, curlsocktype purpose, struct curl_sockaddr *address)
{
    auto *transfer = static_cast<ParamClient::Transfer *>(user);
    if (purpose == CURLSOCKTYPE_IPCXN && transfer->requestsSent > 0) {
        // libcurl wants to send the same request again on a new connection
        // because the kept-alive one was closed: the camera may already have
        // acted on it, so never repeat it.
        transfer->refusedResend = true;
        return CURL_SOCKET_BAD;
    }
    transfer->openedConnection = true;
    const curl_socket_t socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (socket != CURL_SOCKET_BAD && transfer->client)
        transfer->client->socketOpened(socket);
    return socket;
}

int onCloseSocket(void *user, curl_socket_t socket)
{
    static_cast<ParamClient *>(user)->closeSocket(socket);
    return 0;
}

int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto *transfer = static_cast<ParamClient::Transfer *>(user);
    return transfer->client && transfer->client->abortRequested() ? 1 : 0;
}

} // namespace

ParamClient::ParamClient()
{
    globalInitOnce();
}

ParamClient::~ParamClient()
{
    closeConnection();
}

void ParamClient::abort()
{
    std::lock_guard<std::mutex> lock(m_socketMutex);
    m_abort = true;
    // Wakes a transfer waiting for the camera; the socket stays open (and
    // its number taken) until libcurl closes it.
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
}

void ParamClient::socketOpened(int socket)
{
    std::lock_guard<std::mutex> lock(m_socketMutex);
    m_socket = socket;
    if (m_abort)
        ::shutdown(socket, SHUT_RDWR);
}

void ParamClient::closeSocket(int socket)
{
    std::lock_guard<std::mutex> lock(m_socketMutex);
    if (m_socket == socket)
        m_socket = -1;
    ::close(socket);
}

void ParamClient::setCredentials(const QString &user, const QString &password)
{
    m_user = user;
    m_password = password;
    // The next request sends the new Authorization header.
    if (m_curl)
        curl_easy_setopt(static_cast<CURL *>(m_curl), CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(m_headers);
    m_headers = nullptr;
}

void ParamClient::closeConnection()
{
    if (m_curl) {
        curl_easy_cleanup(static_cast<CURL *>(m_curl));
        if (m_runner)
            m_runner->closeConnections();
    }
    m_curl = nullptr;
    curl_slist_free_all(m_headers);
    m_headers = nullptr;
    m_handleHost.clear();
    m_handlePort = -1;
}

void ParamClient::ensureHandle(const QString &host, int port)
{
    // A new handle per host and port: the old connection is closed first and
    // never picked up again for another camera.
    if (m_curl && (host != m_handleHost || port != m_handlePort))
        closeConnection();
    if (m_curl)
        return;
    CURL *curl = curl_easy_init();
    m_curl = curl;
    m_handleHost = host;
    m_handlePort = port;

    // What stays the same for every request to this camera; libcurl keeps its
    // own copies of the strings.
    const QByteArray url = QStringLiteral("http://%1:%2/").arg(hostForUrl(host)).arg(port).toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXCONNECTS, 1L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, onPrereq);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, onOpenSocket);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, onCloseSocket);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
}

void ParamClient::ensureHeaders()
{
    if (m_headers)
        return;
    const QByteArray hostHeader = "Host: " + m_handleHost.toUtf8();
    curl_slist *headers = nullptr;
    headers = curl_slist_append(headers, hostHeader.constData());
    headers = curl_slist_append(headers, kAccept);
    headers = curl_slist_append(headers, kUserAgent);
    if (!m_user.isEmpty()) {
        const QByteArray authorization =
            "Authorization: Basic " + (m_user + QLatin1Char(':') + m_password).toUtf8().toBase64();
        headers = curl_slist_append(headers, authorization.constData());
    }
    m_headers = headers;
}

HttpReply ParamClient::get(const QString &host, int port, const QByteArray &target)
{
    if (m_abort) {
        HttpReply cancelled;
        cancelled.failure = RequestFailure::Cancelled;
        cancelled.errorText = cancelledText();
        return cancelled;
    }
    ensureHandle(host, port);
    ensureHeaders();
    CURL *curl = static_cast<CURL *>(m_curl);

    Transfer transfer;
    transfer.client = this;
    const QString statusBefore = m_lastStatusText;

    curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, target.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, m_headers);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(m_connectTimeoutMs));
    // The reply limit counts from the start of the request; a connection
    // attempt has its own, shorter limit.
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(m_replyTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    char curlError[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, curlError);

    // Never a password in a log, at any level.
    qCDebug(lcProtocol).noquote() << "GET" << withSecretsMasked(QString::fromLatin1(target)) << "to" << host << port;
    const CURLcode code = m_runner ? m_runner->perform(curl) : curl_easy_perform(curl);
    // The error buffer lives on this stack frame only.
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    const QString curlDetail = QString::fromLatin1(curlError).trimmed();

    long osErrno = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
    long statusCode = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &statusCode);

    HttpReply reply;
    // A connection that was refused (or never answered the connect) was
    // never opened: the reply log does not take the status text then.
    reply.openedConnection = transfer.sentOnNewConnection;
    reply.statusTextBeforeConnect = statusBefore;
    if (transfer.openedConnection)
        ++m_connectionsOpened;
    if (transfer.sawStatusLine) {
        reply.statusText = transfer.statusText;
        m_lastStatusText = transfer.statusText;
    }
    reply.statusCode = int(statusCode);

    if (code == CURLE_OK && !m_abort) {
        if (statusCode >= 200 && statusCode < 300) {
            reply.ok = true;
            reply.body = std::move(transfer.body);
        } else {
            // Redirects are not followed and every other status fails with the
            // camera's own status text.
            reply.failure = RequestFailure::Status;
            reply.errorText = transfer.statusText;
        }
        return reply;
    }

    // After a failure the connection is in an unknown state: start afresh.
    closeConnection();
    const auto fail = [&reply](RequestFailure failure, const QString &text) {
        reply.failure = failure;
        reply.errorText = text;
    };
    const auto failOnSocket = [&fail](long error) {
        switch (error) {
        case ECONNREFUSED:
            return fail(RequestFailure::Refused, socketErrorText(error));
        case ETIMEDOUT:
            return fail(RequestFailure::ConnectTimeout, socketErrorText(error));
        case EHOSTUNREACH:
        case ENETUNREACH:
        case ENETDOWN:
        case EHOSTDOWN:
        case EADDRNOTAVAIL:
            return fail(RequestFailure::Unreachable, socketErrorText(error));
        case ECONNRESET:
        case EPIPE:
            return fail(RequestFailure::Closed, socketErrorText(error));
        default:
            return fail(RequestFailure::Other, socketErrorText(error));
        }
    };
    if (m_abort) {
        fail(RequestFailure::Cancelled, cancelledText());
    } else {
        switch (code) {
        case CURLE_COULDNT_CONNECT:
            if (transfer.refusedResend)
                fail(RequestFailure::Closed, closedGracefullyText());
            else
                failOnSocket(osErrno ? osErrno : ECONNREFUSED);
            break;
        case CURLE_OPERATION_TIMEDOUT:
            if (transfer.requestsSent > 0)
                fail(RequestFailure::ReplyTimeout, QStringLiteral("Read timed out."));
            else
                failOnSocket(ETIMEDOUT);
            break;
        case CURLE_GOT_NOTHING:
            // The camera closed without replying at all.
            fail(RequestFailure::Closed, closedGracefullyText());
            break;
        case CURLE_PARTIAL_FILE:
            fail(RequestFailure::Malformed,
                 malformedReplyText(QStringLiteral("the body is shorter than its announced length")));
            break;
        case CURLE_OUT_OF_MEMORY:
            // libcurl's answer to a header line beyond its limit.
            fail(RequestFailure::Malformed, malformedReplyText(QStringLiteral("a header line is too long")));
            break;
        case CURLE_RECV_ERROR:
            if (osErrno)
                failOnSocket(osErrno);
            else if (curlDetail.contains(QLatin1String("chunk"), Qt::CaseInsensitive))
                fail(RequestFailure::Malformed,
                     malformedReplyText(QStringLiteral("a chunk size is not a hexadecimal number")));
            else if (transfer.sawStatusLine)
                fail(RequestFailure::Malformed,
                     malformedReplyText(curlDetail.isEmpty() ? QStringLiteral("it cannot be read") : curlDetail));
            else
                fail(RequestFailure::Closed, closedGracefullyText());
            break;
        case CURLE_SEND_ERROR:
            if (osErrno)
                failOnSocket(osErrno);
            else
                fail(RequestFailure::Closed, closedGracefullyText());
            break;
        case CURLE_COULDNT_RESOLVE_HOST:
            // A failed name lookup has no socket error number of its own.
            fail(RequestFailure::NameNotFound, QStringLiteral("Host not found: %1.").arg(host));
            break;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_WEIRD_SERVER_REPLY:
            // libcurl does not hand over a status line it cannot parse.
            fail(RequestFailure::Malformed, QStringLiteral("The camera's reply has no valid status line."));
            break;
        case CURLE_WRITE_ERROR:
            if (transfer.bodyTooLarge)
                fail(RequestFailure::Malformed, QStringLiteral("The camera's reply is too large."));
            else
                fail(RequestFailure::Other, QString::fromLatin1(curl_easy_strerror(code)));
            break;
        default:
            fail(RequestFailure::Other, QString::fromLatin1(curl_easy_strerror(code)));
            break;
        }
    }
    qCDebug(lcProtocol).noquote() << "request failed:" << reply.errorText;
    return reply;
}

} // namespace qzr
