#pragma once
// The commissioning report as one HTML page: a summary (date, counts, a
// grid of every camera's picture linking to its section), then each camera on
// a page of its own when printed. Self-contained: inline CSS, the pictures
// as files beside it, no scripts and nothing fetched from elsewhere. Every
// camera value is text: cut to a length (ShownText.h), its control
// characters shown as escapes, HTML-escaped, so nothing a camera sends can
// add markup.
#include "site/ReportData.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace qzr::site {

// A camera value as page text: control characters as "\\xHH", cut after
// maxChars, then HTML-escaped (& < > " and ').
QString pageText(const QString &value, int maxChars);

// The anchor of the camera at `index` (0-based) in the page: "camera-1", ...
QString cameraAnchor(int index);

// The page, UTF-8.
QByteArray reportPage(const ReportHead &head, const QList<CameraReport> &cameras);

} // namespace qzr::site
