#include "site/ReportPage.h"

#include "image/SceneKeys.h"
#include "protocol/ShownText.h"

#include <QDateTime>

namespace qzr::site {

namespace {

// The page's look; nothing in it comes from a camera.
constexpr const char *kStyle = R"(body{font-family:sans-serif;margin:1.5em;color:#111;background:#fff}
h1{font-size:1.6em;margin:0 0 .2em}
h2{font-size:1.25em;margin:.2em 0 .4em}
h3{font-size:1em;margin:.8em 0 .2em}
table{border-collapse:collapse;margin:.3em 0}
th,td{border:1px solid #bbb;padding:.15em .5em;text-align:left;vertical-align:top}
th{background:#eee;font-weight:600}
.summary td{text-align:right}
.grid{display:flex;flex-wrap:wrap;gap:.6em;margin-top:1em}
.thumb{display:block;width:11em;text-decoration:none;color:inherit;border:1px solid #bbb;padding:.3em;font-size:.85em}
.thumb img{width:100%;height:auto;display:block}
.label{display:block;margin-top:.2em}
.nopic{display:flex;align-items:center;justify-content:center;height:6.2em;background:#f3f3f3;color:#a00}
.result{font-size:.8em;padding:0 .4em;border:1px solid;border-radius:.3em;margin-left:.4em}
.equal{color:#060}.differs{color:#a50}.failed{color:#a00}.read{color:#333}
section.camera{border-top:2px solid #333;margin-top:1.5em;padding-top:.5em}
figure{margin:.5em 0}
figure img{max-width:100%;height:auto;border:1px solid #bbb}
figcaption{font-size:.85em;color:#444}
.problem{color:#a00;font-weight:600}
@media print{
body{margin:0;background:#fff;color:#000}
th,.nopic{background:none}
a{color:inherit;text-decoration:none}
.thumb{break-inside:avoid;page-break-inside:avoid}
section.camera{break-before:page;page-break-before:always;break-inside:avoid;page-break-inside:avoid;border-top:none;margin-top:0}
figure img{max-height:9cm;width:auto}
}
)";

QString text(const QString &value)
{
    return pageText(value, kMaxShownValueChars);
}

// A value cell: "-" for a value the camera was not asked for.
QString cell(const QString &value)
{
    return QStringLiteral("<td>%1</td>").arg(value.isEmpty() ? QStringLiteral("-") : text(value));
}

QString resultBadge(const CameraReport &camera)
{
    const QString name = resultName(camera);
    return QStringLiteral("<span class=\"result %1\">%1</span>").arg(name);
}

QString shownTime(const QString &iso)
{
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    if (!time.isValid())
        return text(iso);
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
}

QString summary(const ReportHead &head, const QList<CameraReport> &cameras)
{
    const ReportCounts counts = reportCounts(cameras);
    QString html = QStringLiteral("<h1>Commissioning report</h1>\n<p>%1</p>\n<table class=\"summary\">\n")
                       .arg(shownTime(head.time));
    const auto row = [&html](const QString &label, int count) {
        html += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(label, QString::number(count));
    };
    row(QStringLiteral("Cameras"), counts.cameras);
    if (!head.against.isEmpty()) {
        row(QStringLiteral("Match %1").arg(text(head.against)), counts.equal);
        row(QStringLiteral("Differ"), counts.differ);
    }
    row(QStringLiteral("Failed"), counts.failed);
    row(QStringLiteral("Without a picture"), counts.withoutPicture);
    html += QStringLiteral("</table>\n<div class=\"grid\">\n");
    for (int i = 0; i < cameras.size(); ++i) {
        const CameraReport &camera = cameras.at(i);
        html += QStringLiteral("<a class=\"thumb\" href=\"#%1\">").arg(cameraAnchor(i));
        if (!camera.picture.isEmpty())
            html += QStringLiteral("<img src=\"%1\" alt=\"\">").arg(camera.picture.toHtmlEscaped());
        else
            html += QStringLiteral("<span class=\"nopic\">no picture</span>");
        html += QStringLiteral("<span class=\"label\">%1%2</span></a>\n").arg(text(camera.name), resultBadge(camera));
    }
    return html + QStringLiteral("</div>\n");
}

QString encodersTable(const CameraReport &camera)
{
    QString html = QStringLiteral(
        "<h3>Encoders</h3>\n<table>\n<tr><th>Encoder</th><th>Type</th><th>Frame size</th><th>Frame rate</th>"
        "<th>Bitrate mode</th><th>Bitrate</th><th>JPEG size</th><th>I-frame interval</th></tr>\n");
    for (const encoder::EncoderSettings &settings : camera.encoders) {
        html += QStringLiteral("<tr><td>%1</td>").arg(settings.encoder);
        for (const QString *value : {&settings.type, &settings.frameSize, &settings.frameRate, &settings.cbrMode,
                                     &settings.bitrate, &settings.quality, &settings.iframeInterval})
            html += cell(*value);
        html += QStringLiteral("</tr>\n");
    }
    return html + QStringLiteral("</table>\n");
}

QString sceneTable(const CameraReport &camera)
{
    bool ok = false;
    const int number = camera.scene.toInt(&ok);
    QString title = QStringLiteral("Scene file %1").arg(text(camera.scene));
    if (ok && number >= 0 && number < int(image::kSceneEntries.size()))
        title += QStringLiteral(" (%1)").arg(QString::fromLatin1(image::kSceneEntries[size_t(number)]).toHtmlEscaped());
    QString html = QStringLiteral("<h3>%1</h3>\n<table>\n").arg(title);
    // Three settings a row.
    constexpr int kPerRow = 3;
    for (int i = 0; i < camera.image.size(); i += kPerRow) {
        html += QStringLiteral("<tr>");
        for (int k = i; k < i + kPerRow && k < camera.image.size(); ++k)
            html += QStringLiteral("<th>%1</th>").arg(text(camera.image.at(k).key)) + cell(camera.image.at(k).value);
        html += QStringLiteral("</tr>\n");
    }
    return html + QStringLiteral("</table>\n");
}

QString auditSection(const ReportHead &head, const CameraReport &camera)
{
    if (camera.audit == Audit::None)
        return QString();
    QString html = QStringLiteral("<h3>Against %1</h3>\n").arg(text(head.against));
    if (camera.audit == Audit::Equal)
        return html + QStringLiteral("<p>Every setting matches the file.</p>\n");
    html += QStringLiteral("<p class=\"problem\">%1 setting(s) differ:</p>\n<table>\n"
                           "<tr><th>Line</th><th>Setting</th><th>File</th><th>Camera</th></tr>\n")
                .arg(camera.differences.size());
    for (const settingsfile::SettingDifference &difference : camera.differences)
        html += QStringLiteral("<tr><td>%1</td><td>%2</td>%3%4</tr>\n")
                    .arg(difference.line)
                    .arg(text(difference.name), cell(difference.first), cell(difference.second));
    return html + QStringLiteral("</table>\n");
}

QString pictureSection(const CameraReport &camera)
{
    if (camera.picture.isEmpty()) {
        if (camera.pictureError.isEmpty())
            return QString();
        return QStringLiteral("<p class=\"problem\">No picture: %1</p>\n")
            .arg(pageText(camera.pictureError, kMaxShownMessageChars));
    }
    return QStringLiteral("<figure><img src=\"%1\" width=\"%2\" height=\"%3\" alt=\"Picture of channel %4\">"
                          "<figcaption>Channel %4, %2 x %3: %5</figcaption></figure>\n")
        .arg(camera.picture.toHtmlEscaped())
        .arg(camera.pictureSize.width())
        .arg(camera.pictureSize.height())
        .arg(camera.channel)
        .arg(text(camera.streamUrl));
}

QString cameraSection(const ReportHead &head, const CameraReport &camera, int index)
{
    QString html = QStringLiteral("<section class=\"camera\" id=\"%1\">\n<h2>%2. %3%4</h2>\n")
                       .arg(cameraAnchor(index))
                       .arg(index + 1)
                       .arg(text(camera.name), resultBadge(camera));
    if (!camera.error.isEmpty())
        html += QStringLiteral("<p class=\"problem\">Failed: %1</p>\n")
                    .arg(pageText(camera.error, kMaxShownMessageChars));
    if (camera.settingsRead) {
        html += QStringLiteral("<table>\n<tr><th>Address</th><td>%1</td><th>HTTP port</th><td>%2</td>"
                               "<th>RTSP port</th>%3</tr>\n<tr><th>Model</th>%4<th>Firmware</th>%5<th>MAC</th>%6</tr>\n"
                               "</table>\n")
                    .arg(text(camera.host), text(camera.port), cell(camera.rtspPort), cell(camera.model),
                         cell(camera.firmware), cell(camera.mac));
        html += encodersTable(camera) + sceneTable(camera) + auditSection(head, camera);
    } else {
        html += QStringLiteral("<table>\n<tr><th>Address</th><td>%1</td><th>HTTP port</th><td>%2</td></tr>\n</table>\n")
                    .arg(text(camera.host), text(camera.port));
    }
    html += pictureSection(camera);
    return html + QStringLiteral("</section>\n");
}

} // namespace

QString pageText(const QString &value, int maxChars)
{
    QString visible;
    const QString cut = shownText(value, maxChars);
    visible.reserve(cut.size());
    for (const QChar c : cut) {
        const ushort code = c.unicode();
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
            visible += QStringLiteral("\\x") + QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            visible += c;
    }
    return visible.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&#39;"));
}

QString cameraAnchor(int index)
{
    return QStringLiteral("camera-%1").arg(index + 1);
}

QByteArray reportPage(const ReportHead &head, const QList<CameraReport> &cameras)
{
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                                  "<title>Commissioning report %1</title>\n<style>\n%2</style>\n</head>\n<body>\n")
                       .arg(shownTime(head.time), QLatin1String(kStyle));
    html += summary(head, cameras);
    for (int i = 0; i < cameras.size(); ++i)
        html += cameraSection(head, cameras.at(i), i);
    html += QStringLiteral("</body>\n</html>\n");
    return html.toUtf8();
}

} // namespace qzr::site
