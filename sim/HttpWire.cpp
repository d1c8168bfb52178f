#include "HttpWire.h"

namespace qzr::sim {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr int kMaxHeadBytes = 64 * 1024;
constexpr int kChunkCount = 3;
constexpr char kChunkExtension[] = " ;camsim=1";

struct HeadEnd {
    int headSize;  // up to the line break before the empty line
    int consumed;  // including the empty line
};

std::optional<HeadEnd> findHeadEnd(const QByteArray &buffer)
{
    const int crlf = buffer.indexOf("\r\n\r\n");
    const int lf = buffer.indexOf("\n\n");
    if (crlf >= 0 && (lf < 0 || crlf < lf))
        return HeadEnd{crlf, crlf + 4};
    if (lf >= 0)
        return HeadEnd{lf, lf + 2};
    return std::nullopt;
}

QByteArray stripCr(const QByteArray &line)
{
    return line.endsWith('\r') ? line.chopped(1) : line;
}

} // namespace

QByteArray HttpRequest::header(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

QByteArray HttpRequest::path() const
{
    const int question = target.indexOf('?');
    return question < 0 ? target : target.left(question);
}

QByteArray HttpRequest::query() const
{
    const int question = target.indexOf('?');
    return question < 0 ? QByteArray() : target.mid(question + 1);
}

bool HttpRequest::wantsClose() const
{
    const QByteArray connection = header("Connection").trimmed().toLower();
    if (version == "HTTP/1.0")
        return connection != "keep-alive";
    return connection == "close";
}

ParseResult parseHttpRequest(const QByteArray &buffer)
{
    ParseResult result;
    const auto end = findHeadEnd(buffer);
    if (!end) {
        if (buffer.size() > kMaxHeadBytes)
            result.status = ParseStatus::Malformed;
        return result;
    }
    const QList<QByteArray> lines = buffer.left(end->headSize).split('\n');
    const QByteArray requestLine = stripCr(lines.first());
    // The target sits between the first and the last space, so a target
    // that carries a raw space still arrives whole.
    const int firstSpace = requestLine.indexOf(' ');
    const int lastSpace = requestLine.lastIndexOf(' ');
    if (firstSpace <= 0 || lastSpace <= firstSpace) {
        result.status = ParseStatus::Malformed;
        return result;
    }
    HttpRequest &request = result.request;
    request.method = requestLine.left(firstSpace);
    request.target = requestLine.mid(firstSpace + 1, lastSpace - firstSpace - 1);
    request.version = requestLine.mid(lastSpace + 1);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = stripCr(lines.at(i));
        const int colon = line.indexOf(':');
        if (colon <= 0) {
            result.status = ParseStatus::Malformed;
            return result;
        }
        request.headers.append(qMakePair(line.left(colon).trimmed(), line.mid(colon + 1).trimmed()));
    }
    bool lengthOk = true;
    const QByteArray lengthText = request.header("Content-Length");
    const int bodyLength = lengthText.isEmpty() ? 0 : lengthText.toInt(&lengthOk);
    if (!lengthOk || bodyLength < 0) {
        result.status = ParseStatus::Malformed;
        return result;
    }
    if (buffer.size() < end->consumed + bodyLength)
        return result;
    result.consumed = end->consumed + bodyLength;
    request.raw = buffer.left(result.consumed);
    result.status = ParseStatus::Complete;
    return result;
}

HttpResponse HttpResponse::html(int status, const QByteArray &reason, const QByteArray &body)
{
    HttpResponse response;
    response.status = status;
    response.reason = reason;
    response.addHeader("Content-Type", "text/html");
    response.body = body;
    return response;
}

HttpResponse HttpResponse::error(int status, const QByteArray &reason)
{
    const QByteArray title = QByteArray::number(status) + ' ' + reason;
    return html(status, reason,
                "<html><head><title>" + title + "</title></head><body><h1>" + title
                    + "</h1></body></html>" + kCrLf);
}

HttpResponse HttpResponse::text(const QByteArray &body)
{
    HttpResponse response;
    response.addHeader("Content-Type", "text/plain");
    response.body = body;
    return response;
}

QByteArray serializeHead(const HttpResponse &response, const WireOptions &options)
{
    QByteArray head = options.statusLine.isEmpty()
                          ? "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason
                          : options.statusLine;
    head += kCrLf;
    for (const auto &header : response.headers)
        head += header.first + ": " + header.second + kCrLf;
    if (options.chunked)
        head += QByteArray("Transfer-Encoding: chunked") + kCrLf;
    else
        head += "Content-Length: " + QByteArray::number(options.emptyBody ? 0 : response.body.size()) + kCrLf;
    if (options.connectionClose)
        head += QByteArray("Connection: close") + kCrLf;
    head += kCrLf;
    return head;
}

QByteArray serializeResponse(const HttpResponse &response, const WireOptions &options)
{
    QByteArray wire = serializeHead(response, options);
    if (options.emptyBody)
        return wire;
    wire += options.chunked ? chunkedBody(response.body) : response.body;
    return wire;
}

QByteArray chunkedBody(const QByteArray &body)
{
    QByteArray wire;
    const int chunkSize = (body.size() + kChunkCount - 1) / kChunkCount;
    for (int offset = 0, index = 0; chunkSize > 0 && offset < body.size(); offset += chunkSize, ++index) {
        const QByteArray chunk = body.mid(offset, chunkSize);
        wire += QByteArray::number(chunk.size(), 16);
        if (index == 0)
            wire += kChunkExtension;
        wire += kCrLf + chunk + kCrLf;
    }
    wire += QByteArray("0") + kCrLf + kCrLf;
    return wire;
}

} // namespace qzr::sim
