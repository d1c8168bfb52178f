#include "site/CameraStream.h"

#include <QHostAddress>

#include <functional>

namespace qzr::site {

FrameSize frameSizeOf(const QString &text)
{
    struct Named
    {
        const char *name;
        FrameSize size;
    };
    static constexpr Named kSizes[] = {{"1920x1080", {1920, 1080}}, {"quadvga", {1280, 960}},
                                       {"1280x720", {1280, 720}},   {"640x360", {640, 360}},
                                       {"vga", {640, 480}},         {"qvga", {320, 240}}};
    for (const Named &named : kSizes) {
        if (text == QLatin1String(named.name))
            return named.size;
    }
    return {};
}

bool encoderRuns(const QString &type, const QString &frameSize)
{
    return !type.isEmpty() && type != QLatin1String("off") && type != QLatin1String("NG")
           && frameSizeOf(frameSize).pixels() > 0;
}

namespace {

// The running channel whose pixel count `better` prefers.
template<typename Better>
std::optional<int> channelBy(const std::array<encoder::EncoderSettings, 3> &encoders, Better better)
{
    std::optional<int> best;
    int bestPixels = 0;
    for (int i = 0; i < int(encoders.size()); ++i) {
        const encoder::EncoderSettings &settings = encoders[size_t(i)];
        if (!encoderRuns(settings.type, settings.frameSize))
            continue;
        const int pixels = frameSizeOf(settings.frameSize).pixels();
        if (!best || better(pixels, bestPixels)) {
            best = i + 1;
            bestPixels = pixels;
        }
    }
    return best;
}

} // namespace

std::optional<int> lowestResolutionChannel(const std::array<encoder::EncoderSettings, 3> &encoders)
{
    return channelBy(encoders, std::less<int>());
}

std::optional<int> largestChannel(const std::array<encoder::EncoderSettings, 3> &encoders)
{
    return channelBy(encoders, std::greater<int>());
}

std::optional<quint16> rtspPortOf(const QString &reported)
{
    if (reported.isEmpty() || reported.size() > 5)
        return std::nullopt;
    for (const QChar c : reported) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    const int port = reported.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

QString cameraStreamUrl(const QString &host, quint16 rtspPort, int channel, const QString &urlTemplate)
{
    const QString address = host.trimmed();
    if (urlTemplate.isEmpty()) {
        const bool ipv6 = QHostAddress(address).protocol() == QAbstractSocket::IPv6Protocol;
        return QStringLiteral("rtsp://%1:%2/channel%3")
            .arg(ipv6 ? QLatin1Char('[') + address + QLatin1Char(']') : address)
            .arg(rtspPort)
            .arg(channel);
    }
    QString url = urlTemplate;
    url.replace(QLatin1String("{ip}"), address);
    url.replace(QLatin1String("{port}"), QString::number(rtspPort));
    url.replace(QLatin1String("{channel}"), QString::number(channel));
    return url;
}

} // namespace qzr::site
