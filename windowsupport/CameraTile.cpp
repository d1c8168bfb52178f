#include "windowsupport/CameraTile.h"

#include "protocol/ShownText.h"
#include "video/StreamSettings.h"
#include "video/StreamSource.h"
#include "windowsupport/ViewerOverlay.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QHash>
#include <QTimer>

using namespace qzr::video;

namespace {

constexpr int kMargin = 4;
// New pictures of all tiles are painted together, at most this often: one
// paint pass for the wall instead of one per picture of each tile.
constexpr int kRepaintIntervalMs = 30;

// The tiles with a new picture not painted yet (GUI thread only).
class RepaintBatch
{
public:
    static RepaintBatch &instance()
    {
        static RepaintBatch batch;
        return batch;
    }

    void add(CameraTile *tile, const QRect &area)
    {
        m_tiles.insert(tile, area);
        if (!m_timer.isActive())
            m_timer.start();
    }
    void remove(CameraTile *tile) { m_tiles.remove(tile); }

private:
    RepaintBatch()
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(kRepaintIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const QHash<CameraTile *, QRect> tiles = std::exchange(m_tiles, {});
            for (auto it = tiles.cbegin(); it != tiles.cend(); ++it)
                it.key()->update(it.value());
        });
    }

    QTimer m_timer;
    QHash<CameraTile *, QRect> m_tiles;
};

} // namespace

QString CameraTile::noPictureText(const QString &reason)
{
    return QStringLiteral("no picture: ") + reason;
}

CameraTile::CameraTile(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 90 + captionHeight());
    setFocusPolicy(Qt::ClickFocus);
}

CameraTile::~CameraTile()
{
    RepaintBatch::instance().remove(this);
}

void CameraTile::setCaption(const QString &address, const QString &model)
{
    m_address = qzr::shownText(address);
    m_model = qzr::shownText(model);
    setAccessibleName(m_address);
    update();
}

void CameraTile::setState(const QString &state)
{
    m_state = qzr::shownText(state);
    setAccessibleDescription(m_state);
    update();
}

void CameraTile::play(const QString &url, const QString &user, const QString &password)
{
    stopReceiving();
    m_url = url;
    m_user = user;
    m_password = password;
    m_picture = QImage();
    m_sourceSize = QSize();
    setState(connectingText());
    if (isVisible())
        startReceiving();
}

void CameraTile::stop()
{
    stopReceiving();
    m_url.clear();
    m_password.clear();
}

QSize CameraTile::pictureSize() const
{
    const QRect area = pictureArea();
    QSize size = area.size();
    if (m_sourceSize.isValid() && !m_sourceSize.isEmpty())
        size = m_sourceSize.scaled(area.size(), Qt::KeepAspectRatio);
    // Even sizes only: swscale converts an odd width on a plain C path,
    // about three times the time of the one next to it.
    return QSize(qMax(2, size.width() & ~1), qMax(2, size.height() & ~1));
}

bool CameraTile::takeFullPicture()
{
    if (!m_receiver)
        return false;
    m_fullPicturePending = true;
    m_receiver->setOutputSize(QSize());
    return true;
}

void CameraTile::startReceiving()
{
    if (m_url.isEmpty() || m_receiver)
        return;
    std::unique_ptr<StreamSource> source;
    if (m_url.contains(QLatin1String("://")))
        source = std::make_unique<UrlStreamSource>(m_url, m_user, m_password, StreamSettings::current().transport);
    else
        source = std::make_unique<FileStreamSource>(m_url, true);
    // One decoding thread per tile: a wall runs many streams side by side,
    // and small pictures gain nothing from slice threads but their hand-overs.
    ReceiverOptions options;
    options.decoderThreads = 1;
    m_receiver = std::make_unique<VideoReceiver>(std::move(source), options);
    m_receiver->setOutputSize(pictureSize());
    connect(m_receiver.get(), &VideoReceiver::frameReady, this, &CameraTile::onFrame);
    connect(m_receiver.get(), &VideoReceiver::errorOccurred, this, &CameraTile::onError);
    m_receiver->start();
}

void CameraTile::stopReceiving()
{
    if (!m_receiver)
        return;
    m_receiver.reset();
    if (m_fullPicturePending) {
        m_fullPicturePending = false;
        emit fullPictureTaken(QImage());
    }
}

void CameraTile::onFrame(const VideoFrame &frame)
{
    if (m_fullPicturePending && frame.image.size() == frame.sourceSize) {
        m_fullPicturePending = false;
        emit fullPictureTaken(frame.image);
    }
    if (m_sourceSize != frame.sourceSize) {
        // The stream's shape is known now: the decoder fits its pictures to it.
        m_sourceSize = frame.sourceSize;
        if (!m_fullPicturePending && m_receiver)
            m_receiver->setOutputSize(pictureSize());
    } else if (!m_fullPicturePending && m_receiver && m_receiver->outputSize() != pictureSize()) {
        m_receiver->setOutputSize(pictureSize());
    }
    m_picture = frame.image;
    const QSize fitted = frame.sourceSize.scaled(frame.image.size(), Qt::KeepAspectRatio);
    const bool stretched = qAbs(fitted.width() - frame.image.width()) > 2
                           || qAbs(fitted.height() - frame.image.height()) > 2;
    if (!m_fullPicturePending && stretched && !fitted.isEmpty()) {
        // Made before the stream's shape was known (the first picture
        // only): shown in its shape, not stretched.
        m_picture = frame.image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    ++m_picturesShown;
    if (m_state != liveText())
        setState(liveText());
    RepaintBatch::instance().add(this, pictureArea());
}

void CameraTile::onError(const VideoError &error)
{
    m_picture = QImage();
    setState(noPictureText(overlay::notice(error)));
}

QRect CameraTile::pictureArea() const
{
    return QRect(0, 0, width(), qMax(1, height() - captionHeight()));
}

int CameraTile::captionHeight() const
{
    return 2 * fontMetrics().height() + 3 * kMargin;
}

void CameraTile::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect area = pictureArea();
    if (event->rect().intersects(area)) {
        if (m_picture.isNull()) {
            painter.fillRect(area, Qt::black);
            if (!m_state.isEmpty()) {
                painter.setPen(Qt::white);
                painter.drawText(area.adjusted(kMargin, kMargin, -kMargin, -kMargin),
                                 Qt::AlignCenter | Qt::TextWordWrap, m_state);
            }
        } else {
            // Centred at the size the decoder made it (scaled here only while
            // a new size is on its way); black bars beside or above it.
            const QSize size = m_picture.size().boundedTo(area.size()) == m_picture.size()
                                   ? m_picture.size()
                                   : m_picture.size().scaled(area.size(), Qt::KeepAspectRatio);
            const QRect target(area.x() + (area.width() - size.width()) / 2,
                               area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
            if (target.size() == m_picture.size())
                painter.drawImage(target.topLeft(), m_picture);
            else
                painter.drawImage(target, m_picture);
            if (target.left() > area.left()) {
                painter.fillRect(QRect(area.left(), area.top(), target.left() - area.left(), area.height()), Qt::black);
                painter.fillRect(QRect(target.right() + 1, area.top(), area.right() - target.right(), area.height()),
                                 Qt::black);
            }
            if (target.top() > area.top()) {
                painter.fillRect(QRect(target.left(), area.top(), target.width(), target.top() - area.top()), Qt::black);
                painter.fillRect(QRect(target.left(), target.bottom() + 1, target.width(), area.bottom() - target.bottom()),
                                 Qt::black);
            }
        }
    }
    // The caption is painted only when it changed (a new picture repaints
    // the picture area alone).
    const QRect caption(0, area.bottom() + 1, width(), height() - area.height());
    if (!event->rect().intersects(caption))
        return;
    painter.fillRect(caption, hasFocus() ? palette().highlight() : palette().window());
    painter.setPen(hasFocus() ? palette().highlightedText().color() : palette().windowText().color());
    const QFontMetrics metrics = fontMetrics();
    const QRect first(kMargin, caption.y() + kMargin, width() - 2 * kMargin, metrics.height());
    const QRect second = first.translated(0, metrics.height() + kMargin);
    const QString title = m_model.isEmpty() ? m_address : m_address + QStringLiteral("  ") + m_model;
    painter.drawText(first, Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(title, Qt::ElideRight, first.width()));
    painter.drawText(second, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(m_state, Qt::ElideRight, second.width()));
}

void CameraTile::resizeEvent(QResizeEvent *)
{
    if (m_receiver && !m_fullPicturePending)
        m_receiver->setOutputSize(pictureSize());
}

void CameraTile::showEvent(QShowEvent *)
{
    startReceiving();
}

void CameraTile::hideEvent(QHideEvent *)
{
    stopReceiving();
    m_picture = QImage();
    if (hasStream())
        m_state = connectingText();
}

void CameraTile::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

void CameraTile::contextMenuEvent(QContextMenuEvent *event)
{
    emit menuRequested(event->globalPos());
}

void CameraTile::focusInEvent(QFocusEvent *)
{
    update(); // the caption shows the focus
}

void CameraTile::focusOutEvent(QFocusEvent *)
{
    update();
}
