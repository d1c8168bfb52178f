// libFuzzer entry point: any bytes as a camera's whole HTTP reply, status
// line and headers included, through the real client (libcurl) over a
// loopback connection to a server in this process. Build with QZR_FUZZ=ON
// and clang (scripts/fuzz.sh). Aborts when the client breaks a rule: a
// reply taken as good has a 2xx status; a status text and a body stay
// within their bounds.
#include "protocol/ParamClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

std::mutex g_mutex;
QByteArray g_reply; // what the server answers to the next request
quint16 g_port = 0;

// Answers each connection's first request with g_reply, then closes it.
void serve(int listener)
{
    for (;;) {
        const int connection = ::accept(listener, nullptr, nullptr);
        if (connection < 0)
            continue;
        QByteArray request;
        char buffer[4096];
        while (!request.contains("\r\n\r\n") && request.size() < 65536) {
            const ssize_t got = ::read(connection, buffer, sizeof buffer);
            if (got <= 0)
                break;
            request.append(buffer, got);
        }
        QByteArray reply;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            reply = g_reply;
        }
        for (qsizetype sent = 0; sent < reply.size();) {
            const ssize_t put = ::write(connection, reply.constData() + sent, size_t(reply.size() - sent));
            if (put <= 0)
                break;
            sent += put;
        }
        ::close(connection);
    }
}

bool startServer()
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return false;
    g_port = ntohs(address.sin_port);
    std::thread(serve, listener).detach();
    return true;
}

[[noreturn]] void broken(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool serving = startServer();
    if (!serving)
        broken("no loopback server");
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_reply = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    }
    qzr::ParamClient client;
    client.setReplyTimeoutMs(1000);
    const qzr::HttpReply reply = client.get(QStringLiteral("127.0.0.1"), g_port, "/api/param?system.model");
    if (reply.ok && (reply.statusCode < 200 || reply.statusCode > 299))
        broken("a reply without a 2xx status was taken as good");
    if (reply.statusText.size() > qzr::ParamClient::kMaxStatusTextBytes)
        broken("status text beyond its bound");
    if (reply.body.size() > qzr::ParamClient::kMaxBodyBytes)
        broken("body beyond its bound");
    return 0;
}
