#include "TLiveViewer.h"

#include "video/StreamSettings.h"
#include "video/VideoLogging.h"
#include "windowsupport/ViewerOverlay.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRegion>

using namespace qzr::video;

namespace {

constexpr int kClockRepaintMs = 250;
constexpr int kOverlayMargin = 6;

// Text in white on a translucent dark box, so it reads on any picture.
QRect drawLabel(QPainter &painter, const QString &text, QPoint anchor, Qt::Alignment corner)
{
    const QFontMetrics metrics(painter.font());
    QRect box(QPoint(0, 0), metrics.size(Qt::TextSingleLine, text) + QSize(8, 4));
    if (corner & Qt::AlignRight)
        box.moveRight(anchor.x());
    else
        box.moveLeft(anchor.x());
    if (corner & Qt::AlignBottom)
        box.moveBottom(anchor.y());
    else
        box.moveTop(anchor.y());
    painter.fillRect(box, QColor(0, 0, 0, 150));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
    return box;
}

} // namespace

TLiveViewer::TLiveViewer(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    m_clockTimer.setInterval(kClockRepaintMs);
    connect(&m_clockTimer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

TLiveViewer::~TLiveViewer()
{
    m_receiver.reset();
}

QSize TLiveViewer::sizeHint() const
{
    return QSize(m_dispWidth, m_dispHeight);
}

void TLiveViewer::setDispWidth(int width)
{
    m_dispWidth = width;
    if (m_receiver)
        m_receiver->setOutputSize(QSize(m_dispWidth, m_dispHeight));
    updateGeometry();
    update();
}

void TLiveViewer::setDispHeight(int height)
{
    m_dispHeight = height;
    if (m_receiver)
        m_receiver->setOutputSize(QSize(m_dispWidth, m_dispHeight));
    updateGeometry();
    update();
}

void TLiveViewer::setRcvMode(int mode)
{
    const int previous = m_rcvMode;
    m_rcvMode = quint8(mode);
    if (m_viewWanted && previous != m_rcvMode)
        startReception(); // the way of receiving changed: start over
}

void TLiveViewer::setMultiIP(const QString &group)
{
    const bool changed = group != m_multiIp;
    m_multiIp = group;
    if (changed && m_viewWanted && m_rcvMode == 1)
        startReception(); // another group: join it instead
}

void TLiveViewer::setMultiPort(int port)
{
    const bool changed = port != m_multiPort;
    m_multiPort = port;
    if (changed && m_viewWanted && m_rcvMode == 1)
        startReception();
}

void TLiveViewer::setDispTimeCode(int value)
{
    m_dispTimeCode = quint8(value);
    if (m_dispTimeCode)
        m_clockTimer.start();
    else
        m_clockTimer.stop();
    update();
}

void TLiveViewer::setDispFPS(int value)
{
    m_dispFps = quint8(value);
    m_fpsText.clear();
    m_fpsSum = 0;
    m_fpsSamples = 0;
    m_fpsWindow.start();
    if (m_dispFps != overlay::kFpsOff && m_receiver) {
        // Show the current figures at once rather than after a full interval.
        const FrameStats stats = m_receiver->stats();
        m_fpsText = m_dispFps == overlay::kFpsDecodingLoad ? overlay::decodingLoad(stats)
                                                           : overlay::receivedRate(stats.receivedFps);
    }
    update();
}

void TLiveViewer::StartLive()
{
    m_viewWanted = true;
    startReception();
}

bool TLiveViewer::hasMulticastGroup() const
{
    return !m_multiIp.trimmed().isEmpty() && m_multiPort >= 1 && m_multiPort <= 65535;
}

void TLiveViewer::startReception()
{
    m_receiver.reset();
    const StreamSettings &settings = StreamSettings::current();
    const QString address = settings.urlFor(m_ip, m_channel);
    if (m_rcvMode == 1 && address.contains(QLatin1String("://")) && !hasMulticastGroup()) {
        // Nothing to join yet: say so and wait quietly for MultiIP and MultiPort.
        m_notice = overlay::noMulticastGroup();
        m_frame = VideoFrame();
        qCInfo(lcVideo) << "multicast reception waits for a group and port";
        update();
        return;
    }
    ++m_receptionStarts;
    std::unique_ptr<StreamSource> source;
    if (!address.contains(QLatin1String("://"))) {
        source = std::make_unique<FileStreamSource>(address, true);
    } else if (m_rcvMode == 1) {
        source = std::make_unique<MulticastStreamSource>(m_multiIp, m_multiPort, m_ip,
                                                         settings.multicastCodec,
                                                         settings.multicastInterface);
    } else {
        source = std::make_unique<UrlStreamSource>(address, settings.user, m_password, settings.transport);
    }
    m_receiver = std::make_unique<VideoReceiver>(std::move(source));
    m_receiver->setOutputSize(QSize(m_dispWidth, m_dispHeight));
    VideoReceiver *receiver = m_receiver.get();
    connect(receiver, &VideoReceiver::frameReady, this, &TLiveViewer::onFrame);
    connect(receiver, &VideoReceiver::statsUpdated, this, &TLiveViewer::onStats);
    connect(receiver, &VideoReceiver::errorOccurred, this, &TLiveViewer::onError);
    m_notice = QStringLiteral("Connecting\u2026");
    m_fpsWindow.start();
    m_fpsSum = 0;
    m_fpsSamples = 0;
    qCInfo(lcVideo).noquote() << "live view of" << receiver->sourceDescription();
    receiver->start();
    update();
}

void TLiveViewer::onFrame(const VideoFrame &frame)
{
    m_frame = frame;
    ++m_framesShown;
    m_notice.clear();
    update();
}

void TLiveViewer::onStats(const FrameStats &stats)
{
    if (m_dispFps == overlay::kFpsOff)
        return;
    if (m_dispFps == overlay::kFpsDecodingLoad) {
        m_fpsText = overlay::decodingLoad(stats);
        update();
        return;
    }
    m_fpsSum += stats.receivedFps;
    ++m_fpsSamples;
    const qint64 intervalMs = qint64(overlay::fpsRefreshSeconds(m_dispFps)) * 1000;
    // Half a stats period of slack: samples arrive about once a second.
    if (m_fpsText.isEmpty() || m_fpsWindow.elapsed() >= intervalMs - 500) {
        m_fpsText = overlay::receivedRate(m_fpsSum / m_fpsSamples);
        m_fpsSum = 0;
        m_fpsSamples = 0;
        m_fpsWindow.start();
        update();
    }
}

void TLiveViewer::onError(const VideoError &error)
{
    m_notice = overlay::notice(error);
    update();
}

void TLiveViewer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect picture(0, 0, m_dispWidth, m_dispHeight);
    // Black only where no picture goes: filling the whole widget first would
    // write every pixel twice per frame.
    QRegion background(rect());
    if (!m_frame.image.isNull()) {
        if (m_frame.image.size() == picture.size())
            painter.drawImage(picture.topLeft(), m_frame.image);
        else
            painter.drawImage(picture, m_frame.image);
        background -= QRegion(picture);
    }
    for (const QRect &part : background)
        painter.fillRect(part, Qt::black);
    const QRect area = picture.intersected(rect()).adjusted(kOverlayMargin, kOverlayMargin,
                                                             -kOverlayMargin, -kOverlayMargin);
    if (area.isEmpty())
        return;

    int nextTop = area.top();
    if (m_dispTitle)
        nextTop = drawLabel(painter, overlay::title(m_ip, m_channel), QPoint(area.left(), nextTop),
                            Qt::AlignLeft | Qt::AlignTop).bottom() + 2;
    if (m_dispPosTitle && !m_frame.image.isNull())
        drawLabel(painter, overlay::pictureInfo(m_frame.sourceSize, m_frame.codecName),
                  QPoint(area.left(), nextTop), Qt::AlignLeft | Qt::AlignTop);
    if (m_dispTimeCode)
        drawLabel(painter, overlay::timeCode(m_timeFormat, QDateTime::currentDateTime()),
                  area.topRight(), Qt::AlignRight | Qt::AlignTop);
    if (m_dispMotion && !m_frame.image.isNull()) {
        const QRect label = drawLabel(painter, overlay::motion(m_frame.motionLevel),
                                      area.bottomLeft(), Qt::AlignLeft | Qt::AlignBottom);
        const int barWidth = 100;
        const QRect bar(label.right() + 4, label.top() + 3, barWidth, label.height() - 6);
        painter.fillRect(bar, QColor(0, 0, 0, 150));
        painter.fillRect(QRect(bar.topLeft(), QSize(barWidth * m_frame.motionLevel / 100, bar.height())),
                         m_frame.motionLevel >= 20 ? QColor(230, 60, 40) : QColor(60, 200, 80));
    }
    if (m_dispFps && !m_fpsText.isEmpty())
        drawLabel(painter, m_fpsText, area.bottomRight(), Qt::AlignRight | Qt::AlignBottom);

    if (!m_notice.isEmpty()) {
        QFont font = painter.font();
        font.setPointSizeF(font.pointSizeF() * 1.5);
        font.setBold(true);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const QSize size = metrics.size(Qt::TextSingleLine, m_notice) + QSize(24, 12);
        QRect box(QPoint(0, 0), size);
        box.moveCenter(area.center());
        painter.fillRect(box, QColor(0, 0, 0, 190));
        painter.setPen(QColor(255, 200, 60));
        painter.drawText(box, Qt::AlignCenter, m_notice);
    }
}
