#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace qzr::sim {

// One item of an /api/param query: "KEY" (a read) or "KEY=VALUE" (a write).
struct ParamItem {
    QString key;
    QString value;
    bool isWrite = false;
};

// One line of the reply: "KEY=VALUE&", or "KEY=NG&" when refused.
struct ParamReplyLine {
    QString key;
    QString value;
};

// Splits the raw (still percent-encoded) query on "&" and each item on its
// first "=", and only then percent-decodes key and value, so that an encoded
// "%26" or "%3D" stays part of a value. Empty items ("?&a=b") are skipped.
QList<ParamItem> parseParamQuery(const QByteArray &rawQuery);

// Percent-decodes into the camera's bytes, one character per byte (the
// camera's single-byte code page; reply bodies carry the same bytes back).
QString decodeComponent(const QByteArray &raw);

// The reply body of /api/param: four lines before the items, one
// "KEY=VALUE&" line per item, two lines after; every line ends with CR LF.
// Each character is one byte, as decodeComponent made it.
QByteArray paramReplyBody(const QList<ParamReplyLine> &lines);

// The value the camera puts in a reply line for a refused read or write.
inline constexpr char kRefusedValue[] = "NG";

} // namespace qzr::sim
