#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "video/VideoReceiver.h"

// The live viewer control: takes the camera address, password, channel and
// display settings as properties and shows the camera's stream after
// StartLive(). The picture is painted scaled to DispWidth x DispHeight at the
// top-left on black; failures show a notice on the picture, never a dialog.
// Byte properties keep the low byte of what is written.
//
// Overlays (any non-zero value switches one on; the tool writes 40 or 1):
//   DispTitle     address and channel, top left
//   DispPosTitle  the stream's picture size and codec, below the title
//   DispTimeCode  the current time, top right, in the TimeFormat:
//                 0 hh:mm:ss, 1 dd.MM.yyyy hh:mm:ss, 2 yyyy-MM-dd hh:mm:ss.zzz
//   DispMotion    a bar and percentage of picture change, bottom left
//   DispFPS       bottom right: 0 off, 254 received frames per second,
//                 255 decoding load (ms per frame, dropped frames), any other
//                 n the received rate averaged and refreshed every n seconds
// RcvMode 0 receives RTSP over TCP; 1 (multicast) receives the RTP the camera
// sends to the group MultiIP, port MultiPort (MulticastStreamSource.h), joined
// on the interface through which IP is reached. Writing RcvMode, or MultiIP or
// MultiPort while receiving multicast, restarts reception. Multicast with no
// group or port set yet shows so and waits, receiving nothing, until both are. Releasing the
// viewer ends its receiver thread, which closes the sockets and so leaves the
// group. A stream template naming a local file plays that file in either mode.
class TLiveViewer : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString IP READ IP WRITE setIP)
    Q_PROPERTY(QString MultiIP READ MultiIP WRITE setMultiIP)
    Q_PROPERTY(int MultiPort READ MultiPort WRITE setMultiPort)
    Q_PROPERTY(int DispWidth READ DispWidth WRITE setDispWidth)
    Q_PROPERTY(int DispHeight READ DispHeight WRITE setDispHeight)
    Q_PROPERTY(int RcvMode READ RcvMode WRITE setRcvMode)
    Q_PROPERTY(QString Channel READ Channel WRITE setChannel)
    Q_PROPERTY(int DispPosTitle READ DispPosTitle WRITE setDispPosTitle)
    Q_PROPERTY(int DispTimeCode READ DispTimeCode WRITE setDispTimeCode)
    Q_PROPERTY(int DispTitle READ DispTitle WRITE setDispTitle)
    Q_PROPERTY(int DispMotion READ DispMotion WRITE setDispMotion)
    Q_PROPERTY(int TimeFormat READ TimeFormat WRITE setTimeFormat)
    Q_PROPERTY(QString OpPassword READ OpPassword WRITE setOpPassword)
    Q_PROPERTY(int DispFPS READ DispFPS WRITE setDispFPS)

public:
    explicit TLiveViewer(QWidget *parent = nullptr);
    // Ends reception; the receiver's thread is interrupted and joined.
    ~TLiveViewer() override;

    QString IP() const { return m_ip; }
    void setIP(const QString &ip) { m_ip = ip; update(); }
    QString MultiIP() const { return m_multiIp; }
    void setMultiIP(const QString &group);
    int MultiPort() const { return m_multiPort; }
    void setMultiPort(int port);
    int DispWidth() const { return m_dispWidth; }
    void setDispWidth(int width);
    int DispHeight() const { return m_dispHeight; }
    void setDispHeight(int height);
    int RcvMode() const { return m_rcvMode; }
    void setRcvMode(int mode);
    QString Channel() const { return m_channel; }
    void setChannel(const QString &channel) { m_channel = channel; update(); }
    int DispPosTitle() const { return m_dispPosTitle; }
    void setDispPosTitle(int value) { m_dispPosTitle = quint8(value); update(); }
    int DispTimeCode() const { return m_dispTimeCode; }
    void setDispTimeCode(int value);
    int DispTitle() const { return m_dispTitle; }
    void setDispTitle(int value) { m_dispTitle = quint8(value); update(); }
    int DispMotion() const { return m_dispMotion; }
    void setDispMotion(int value) { m_dispMotion = quint8(value); update(); }
    int TimeFormat() const { return m_timeFormat; }
    void setTimeFormat(int value) { m_timeFormat = quint8(value); update(); }
    QString OpPassword() const { return m_password; }
    void setOpPassword(const QString &password) { m_password = password; }
    int DispFPS() const { return m_dispFps; }
    void setDispFPS(int value);

    // Starts receiving and drawing the stream the properties describe; returns
    // at once. A running reception is replaced.
    Q_INVOKABLE void StartLive();

    // What the view shows, for the window code and tests.
    bool isLive() const { return m_receiver != nullptr; }
    QString noticeText() const { return m_notice; }
    QString frameRateText() const { return m_fpsText; }
    qint64 framesShown() const { return m_framesShown; }
    QImage currentPicture() const { return m_frame.image; }
    qzr::video::VideoReceiver *receiver() const { return m_receiver.get(); }
    int receptionStarts() const { return m_receptionStarts; } // StartLive and restarts

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void startReception();
    bool hasMulticastGroup() const;
    void onFrame(const qzr::video::VideoFrame &frame);
    void onStats(const qzr::video::FrameStats &stats);
    void onError(const qzr::video::VideoError &error);

    QString m_ip;
    QString m_multiIp;
    int m_multiPort = 0;
    int m_dispWidth = 640;
    int m_dispHeight = 360;
    int m_rcvMode = 0;
    QString m_channel = QStringLiteral("1");
    int m_dispPosTitle = 0;
    int m_dispTimeCode = 0;
    int m_dispTitle = 0;
    int m_dispMotion = 0;
    int m_timeFormat = 0;
    QString m_password;
    int m_dispFps = 0;

    bool m_viewWanted = false; // StartLive was called: reception follows the properties
    std::unique_ptr<qzr::video::VideoReceiver> m_receiver;
    qzr::video::VideoFrame m_frame;
    qint64 m_framesShown = 0;
    int m_receptionStarts = 0;
    QString m_notice;
    QString m_fpsText;
    QElapsedTimer m_fpsWindow;
    double m_fpsSum = 0;
    int m_fpsSamples = 0;
    QTimer m_clockTimer;
};
