#pragma once
// One camera's tile on the site's wall: its live picture above, its address,
// model and state below. The decoder scales each picture to the tile's
// picture area once, on its own thread; painting only places it. A hidden
// tile (another page, a closed or minimised window) receives nothing and
// takes its stream up again when shown. Reception reconnects by itself
// after a loss, as the main viewer's does.
#include "video/VideoReceiver.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <memory>

class CameraTile : public QWidget
{
    Q_OBJECT

public:
    // The state line's texts other than camera or video failures.
    static QString readingText() { return QStringLiteral("reading\u2026"); }
    static QString connectingText() { return QStringLiteral("connecting\u2026"); }
    static QString liveText() { return QStringLiteral("live"); }
    static QString loginNeededText() { return QStringLiteral("login needed"); }
    // "no picture: Connection refused"
    static QString noPictureText(const QString &reason);

    explicit CameraTile(QWidget *parent = nullptr);
    ~CameraTile() override;

    // The caption: the camera's address and model (the camera's text, shown
    // as plain text and cut to a label's length).
    void setCaption(const QString &address, const QString &model);
    QString address() const { return m_address; }
    QString model() const { return m_model; }
    // The state line when nothing plays ("reading…", "login needed",
    // "not read: …", "no picture: …").
    void setState(const QString &state);
    QString stateText() const { return m_state; }

    // Plays the stream at url (credentials given apart, never in the url);
    // replaces what played before. While the tile is hidden nothing is
    // received; reception starts when it is shown.
    void play(const QString &url, const QString &user, const QString &password);
    // Ends reception and forgets the stream.
    void stop();
    // Whether a stream is set / being received now.
    bool hasStream() const { return !m_url.isEmpty(); }
    bool isReceiving() const { return m_receiver != nullptr; }

    QImage currentPicture() const { return m_picture; }
    qint64 picturesShown() const { return m_picturesShown; }
    // The size the decoder delivers pictures at (the picture area, fitted
    // to the stream's shape once that is known).
    QSize pictureSize() const;

    // The next picture at the stream's own size: fullPictureTaken follows
    // (false when nothing is received).
    bool takeFullPicture();

signals:
    void doubleClicked();
    void menuRequested(const QPoint &globalPosition);
    void fullPictureTaken(const QImage &picture);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void startReceiving();
    void stopReceiving();
    void onFrame(const qzr::video::VideoFrame &frame);
    void onError(const qzr::video::VideoError &error);
    QRect pictureArea() const;
    int captionHeight() const;

    QString m_address;
    QString m_model;
    QString m_state;
    QString m_url;
    QString m_user;
    QString m_password;
    std::unique_ptr<qzr::video::VideoReceiver> m_receiver;
    QImage m_picture;
    QSize m_sourceSize;
    qint64 m_picturesShown = 0;
    bool m_fullPicturePending = false;
};
