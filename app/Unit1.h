#pragma once
#include "encoder/EncoderRequests.h"
#include "encoder/EncoderTables.h"
#include "windowsupport/DeferredRefresh.h"
#include "diagnostics/IcmpEcho.h"
#include "protocol/CameraSession.h"
#include "protocol/ReplyLog.h"

#include <QMainWindow>
#include <functional>
#include <memory>

#include "ui_Unit1.h"

class QTimer;

namespace qzr {
class DatagramListener;
}

// The main window: connection fields, identity labels, the reply log, the
// live-view controls, the encoder panel, the menu and the procedure buttons
// that other windows press. It owns the one camera session.
class TForm1 : public QMainWindow, public Ui::TForm1
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // The camera's parameter requests, shared by every window.
    qzr::CameraSession &session() { return m_session; }
    qzr::ReplyLog &replyLog() { return m_replyLog; }

    // Takes address, port, user and password from Edit1..Edit4.
    void ApplyConnection();
    QByteArray CameraGet(const QByteArray &target) { return m_session.cameraGet(target); }
    QByteArray CameraGet(const qzr::ParamQuery &query) { return m_session.cameraGet(query); }
    QString ReadParameter(const QString &key, int start = -1) { return m_session.readParameter(key, start); }
    void LogReply(const QByteArray &body) { m_session.logReply(body); }

    // Identity actions (procedure buttons).
    void Button40Click(); // "Model"
    void Button41Click(); // "Firmware"
    void Button42Click(); // "SceneFileNummer"
    void Button43Click(); // "Day Focus"
    void Button44Click(); // "NightFocus"
    void Button48Click(); // "Spare2"

    // Shell.
    void CheckBox5Click();          // "Hide Password"
    void CheckBox7Click();          // "Display on Second Monitor"

    // Live view.
    void Button2Click();            // "Start Live Stream" / "Stop Live Stream"
    void Button7Click();            // "Full Screen"
    void Button13Click();           // "CAM2 Full HD"
    void Button15Click();           // "Full HD FPS"
    void Button16Click();           // "OFF"
    void Button20Click();           // "PC Performance"
    void Button21Click();           // "Ch 1"
    void Button22Click();           // "Ch 2"
    void Button23Click();           // "Ch 3"
    void CheckBox8Click();          // "Multicast"
    void ComboBox8Change();         // overlay list
    void ComboBox10Change();        // channel list

    // Demo presets and their viewer starts.
    void Button4Click();            // "2x25fpsVideo": multistream viewer start
    void Button8Click();            // "LowLightDemo"
    void Button9Click();            // "2 x H264 Stream"
    void Button10Click();           // "3 x H264 Stream"
    void Button11Click();           // "Flickerless ( Scene File General only )"
    void Button27Click();           // "H264 Single Encoding"
    void Button29Click();           // "FullHD + 720P + VGA"
    void Button34Click();           // "2 x 25fpsSettings"
    void Button37Click();           // "720P + VGA"
    void Button38Click();           // "FullHD + VGA"
    void startCam3Viewer();         // the CAM 3 viewer start of the presets
    void Exit1Click();              // menu "Exit"
    void About1Click();             // menu "About"
    void FormKeyPress(int key);     // key preview

    // Encoder panel: choosing an encoder loads its settings from the camera;
    // choosing a codec adapts the other controls; the other choices only
    // change the working values. Nothing else is sent.
    void Button3Click();   // "Set to Camera"
    void ComboBox1Change();
    void ComboBox11Change();
    void ComboBox12Change();
    void ComboBox2Change();
    void ComboBox3Change();
    void ComboBox4Change();
    void ComboBox5Change();
    void ComboBox6Change();

    // Encoder 1 setters: one request that sets a single parameter and makes
    // the camera store it. The bitrate setter sends the value held from the
    // last ComboBox13 choice; frame rate and I-frame interval fall back on
    // the working values when no item of their combo is selected.
    void Button24Click();  // "Set Bitrate only for Encoder 1"
    void Button25Click();  // "Set Framerate only for Encoder 1"
    void Button1Click();   // "Set I-Frame Interval"
    void ComboBox13Change();
    void CheckBox1Click(); // "Special Settings"
    void CheckBox2Click(); // "30 fps Enable"
    void CheckBox3Click(); // "8000 Kbit/s Enable"

    // "Get Encoding settings": the raw dump of the three encoders into the
    // reply log, sent to the last-used address.
    void Button6Click();

    // Diagnostics: ping, the connection check, the UDP log, the service page.
    void Button30Click();  // "Ping": one ICMP echo to Edit1, the user waits meanwhile
    void IdIcmpClient1Reply(const qzr::icmp::EchoResult &result);
    void CheckBox4Click(); // "Check connection"
    void Timer1Timer();
    void Button31Click();  // "Search": the search of "Find Cameras", with its window shown
    void Button32Click();  // "Stop search": also ends a search under way
    void IdUDPServer1UDPRead(const QByteArray &datagram);
    void CheckBox6Click(); // "Service"
    void Button26Click();  // "Test"

    // Brings the UDP log up on port (0: any free port). When the port cannot
    // be bound the log stays off, the user is told once why (as soon as the
    // event loop runs), and false is returned; everything else works on.
    bool startUdpLog(quint16 port);
    qzr::DatagramListener *udpLog() const { return IdUDPServer1; }

    // The ICMP echo that "Ping" runs on a worker thread (icmp::sendEcho unless
    // replaced).
    using EchoSender = std::function<qzr::icmp::EchoResult(const qzr::icmp::EchoRequest &)>;
    void setEchoSender(EchoSender sender) { m_echo = std::move(sender); }

    // Unit1.ui holds the controls. The visible area: the identity labels
    // (Label18 model, Label22 firmware, Label24 address, Label23 MAC), the
    // connection fields Edit1..Edit4, the live-view controls (Button2,
    // Button7, CheckBox7, ComboBox10 channels, ComboBox8 overlay, CheckBox8),
    // the silver box Panel1 with the frame-rate display, Button3 "Set to
    // Camera" and ProgressBar1. The encoder panel Panel2 covers the silver
    // box: ComboBox1 (encoder), ComboBox11 (codec), ComboBox2, ComboBox3,
    // ComboBox4, ComboBox5 and, in its place, ComboBox12 (JPEG size),
    // ComboBox6 with its label Label11; the encoder 1 setters Button25 with
    // ComboBox14, Button1 with ComboBox7 and CheckBox1 "Special Settings" on
    // the panel, Button24 with ComboBox13 and the wider lists' boxes CheckBox2
    // and CheckBox3 on the window in front of it. Diagnostics: the ping list
    // ListBox1 and the check's note Memo3 on the panel, CheckBox4 and
    // CheckBox6. Beyond the visible area: the reply log Memo1, the scratch
    // Memo2, Label14 and the procedure buttons that other windows press.

    // Diagnostics: the one-shot connection check timer; the UDP log (null
    // while it is off).
    QTimer *Timer1 = nullptr;
    qzr::DatagramListener *IdUDPServer1 = nullptr;

    // Working values of the encoder panel, as text.
    qzr::encoder::WorkingValues EncoderValues;
    // The bitrate setter's own value in bit/s; empty until an item of
    // ComboBox13 is chosen.
    QString SetterBitrate;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Connect the controls of each part to their handlers (Unit1.cpp,
    // EncoderPanel.cpp, DiagnosticsActions.cpp, LiveView.cpp).
    void bindShell();
    void bindMenu();
    void bindEncoderPanel();
    void bindDiagnostics();
    void colourReplyLog(const QColor &colour);
    // Ends an encoder 1 setter: reads encoder 1 back, then either the
    // completion message or one error naming what the camera refused or did
    // not keep (reply: the setter's reply; offered: the setter's values).
    void finishSetter(const QByteArray &reply, qzr::encoder::EncoderKey key, const QString &value,
                      const QStringList &offered, bool stepToMaximum);
    // The values the panel's combo for a setting offers.
    QStringList panelOffers(qzr::encoder::EncoderKey key) const;
    void bindLiveView();
    void restartOnChannel(const QString &channel);
    void stopLiveViewIfRunning();
    void sendPreset(const QList<QByteArray> &requests, int pause_ms);
    void stepProgress(int steps = 1);
    void showReplyLog();
    void refreshMemo1();

    qzr::ReplyLog m_replyLog;
    qzr::DeferredRefresh m_memo1Refresh{this, [this] { refreshMemo1(); }};
    qzr::CameraSession m_session;
    const QEvent *m_lastPreviewedKey = nullptr;
    EchoSender m_echo = qzr::icmp::sendEcho;
    quint16 m_pingSequence = 0;
    bool m_tickQueued = false; // a tick of Timer1 waits for an operation to end
};

extern TForm1 *Form1;
