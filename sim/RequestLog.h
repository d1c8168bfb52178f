#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

namespace qzr::sim {

// One request the camera received, with what it did about it.
struct ReceivedRequest {
    QByteArray raw;        // the request bytes exactly as read
    QString target;        // the request target, percent-decoded
    int connection = 0;    // 1, 2, ... in the order connections were accepted
    QDateTime time;        // when the request was complete
    bool answered = false; // false when the camera hung up or hangs
    QString fault;         // fault mode applied, "none" for a normal reply
};

// Appends one JSON object per request to a file, flushed line by line:
// {"time":"2024-01-02T03:04:05.678Z","connection":1,"target":"/api/param?system.model",
//  "raw":"GET /api/param?system.model HTTP/1.1\r\nHost: ...","answered":true,"fault":"none"}
// "raw" holds the request bytes read as Latin-1, so every byte maps to one character.
class RequestLog
{
public:
    bool open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }
    void append(const ReceivedRequest &request);

    static QByteArray toJsonLine(const ReceivedRequest &request);

private:
    QFile m_file;
};

} // namespace qzr::sim
