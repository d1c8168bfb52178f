// A small keep-alive HTTP server on 127.0.0.1 for the parameter benchmarks.
// It answers every GET of "/api/param?KEY" in the camera's reply layout (four
// lines, "KEY=VALUE&", two lines) and "/stats" with its counters. Prints the
// port it listens on as the first line of standard output and serves until
// standard input closes or it is killed. One thread per connection, plain
// blocking sockets: as little work per request as possible.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::atomic<long> g_connections{0};
std::atomic<long> g_requests{0};

bool sendAll(int fd, const std::string &data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

std::string replyFor(const std::string &target)
{
    static const std::string prefix = "/api/param?";
    std::string body;
    if (target == "/stats") {
        body = "connections=" + std::to_string(g_connections.load()) + "&requests=" + std::to_string(g_requests.load()) + "\n";
    } else {
        std::string key = target.compare(0, prefix.size(), prefix) == 0 ? target.substr(prefix.size()) : target;
        const size_t equals = key.find('=');
        if (equals != std::string::npos)
            key.resize(equals);
        body = "<html>\r\n<head></head>\r\n<body>\r\n<pre>\r\n" + key + "=QZ-R410&\r\n</pre>\r\n</body></html>\r\n";
    }
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void serve(int fd)
{
    ++g_connections;
    std::string buffer;
    char chunk[16384];
    for (;;) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        buffer.append(chunk, size_t(n));
        size_t end;
        std::string replies;
        while ((end = buffer.find("\r\n\r\n")) != std::string::npos) {
            // "GET target HTTP/1.1"
            const size_t lineEnd = buffer.find("\r\n");
            const std::string line = buffer.substr(0, lineEnd);
            buffer.erase(0, end + 4);
            const size_t first = line.find(' ');
            const size_t last = line.rfind(' ');
            const std::string target = first != std::string::npos && last > first ? line.substr(first + 1, last - first - 1) : "/";
            if (target != "/stats")
                ++g_requests;
            replies += replyFor(target);
        }
        if (!replies.empty() && !sendAll(fd, replies))
            break;
    }
    ::close(fd);
}

} // namespace

int main()
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        std::perror("socket");
        return 1;
    }
    const int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(listener, 64) != 0) {
        std::perror("bind/listen");
        return 1;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    std::printf("%u\n", unsigned(ntohs(address.sin_port)));
    std::fflush(stdout);

    // Ends the process when the driver closes our standard input.
    std::thread([] {
        char c;
        while (::read(0, &c, 1) > 0) {
        }
        std::_Exit(0);
    }).detach();

    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            std::perror("accept");
            return 1;
        }
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::thread(serve, fd).detach();
    }
}
