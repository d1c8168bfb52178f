#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

#include <optional>

namespace qzr::sim {

// A request as it arrived on the connection.
struct HttpRequest {
    QByteArray raw;     // every byte of the request, head and body
    QByteArray method;
    QByteArray target;  // as sent, still percent-encoded
    QByteArray version; // "HTTP/1.1"
    QList<QPair<QByteArray, QByteArray>> headers;

    QByteArray header(const QByteArray &name) const; // case-insensitive, first match
    QByteArray path() const;                         // target up to "?"
    QByteArray query() const;                        // target after "?"
    bool wantsClose() const;                         // HTTP/1.0 or "Connection: close"
};

enum class ParseStatus { Incomplete, Complete, Malformed };

struct ParseResult {
    ParseStatus status = ParseStatus::Incomplete;
    HttpRequest request;
    int consumed = 0; // bytes of the buffer the request took
};

// Takes the first request off the front of the connection's buffer.
ParseResult parseHttpRequest(const QByteArray &buffer);

// A reply before it goes on the wire.
struct HttpResponse {
    int status = 200;
    QByteArray reason = "OK";
    QList<QPair<QByteArray, QByteArray>> headers; // besides Content-Length
    QByteArray body;

    void addHeader(const QByteArray &name, const QByteArray &value) { headers.append(qMakePair(name, value)); }

    static HttpResponse html(int status, const QByteArray &reason, const QByteArray &body);
    static HttpResponse error(int status, const QByteArray &reason);
    static HttpResponse text(const QByteArray &body);
};

struct WireOptions {
    QByteArray statusLine;   // replaces "HTTP/1.1 <status> <reason>" when set
    bool connectionClose = false;
    bool chunked = false;
    bool emptyBody = false;
};

// The reply as bytes; the head ends with the empty line.
QByteArray serializeResponse(const HttpResponse &response, const WireOptions &options = {});
QByteArray serializeHead(const HttpResponse &response, const WireOptions &options = {});

// The body in several chunks; the first chunk-size line carries an extension
// after a space.
QByteArray chunkedBody(const QByteArray &body);

} // namespace qzr::sim
