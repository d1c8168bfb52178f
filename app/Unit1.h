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

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QFrame;
class QListWidget;
class QTimer;

namespace qzr {
class DatagramListener;
}

// The main window: connection fields, identity labels, the reply log, the
// live-view controls, the encoder panel, the menu and the procedure buttons
// that other windows press. It owns the one camera session.
class TForm1 : public QMainWindow
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

    // Visible area.
    QLabel *Label1, *Label2, *Label12, *Label13, *Label15, *Label18, *Label19, *Label22, *Label23,
        *Label24;
    QLabel *Image1, *Image2, *Image3;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit6;
    QCheckBox *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8;
    QComboBox *ComboBox8, *ComboBox10;
    QProgressBar *ProgressBar1;
    QFrame *Panel1;
    QPushButton *Button2, *Button3, *Button7, *Button14, *Button15, *Button16, *Button19, *Button20;
    QPlainTextEdit *Memo1, *Memo2;
    QLabel *Label14;

    // Diagnostics: the ping list and the check's note in the encoder panel,
    // both hidden at start; the one-shot connection check timer; the UDP log
    // (null while it is off).
    QListWidget *ListBox1;
    QPlainTextEdit *Memo3;
    QTimer *Timer1;
    qzr::DatagramListener *IdUDPServer1 = nullptr;

    // Encoder panel, over Panel1.
    QFrame *Panel2;
    QComboBox *ComboBox1, *ComboBox11, *ComboBox2, *ComboBox3, *ComboBox4, *ComboBox5, *ComboBox12,
        *ComboBox6;
    QLabel *Label11; // "I-Frame Interval", shown and hidden with ComboBox6

    // Encoder 1 setters: on Panel2, except Button24 and ComboBox13, which lie
    // directly on the window in front of Panel2's area.
    QPushButton *Button24, *Button25, *Button1;
    QComboBox *ComboBox13, *ComboBox14, *ComboBox7;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3;

    // Working values of the encoder panel, as text.
    qzr::encoder::WorkingValues EncoderValues;
    // The bitrate setter's own value in bit/s; empty until an item of
    // ComboBox13 is chosen.
    QString SetterBitrate;

    // Procedure area.
    QPushButton *Button4, *Button5, *Button6, *Button8, *Button9, *Button10, *Button11, *Button12,
        *Button13, *Button17, *Button18, *Button21, *Button22, *Button23, *Button26, *Button27,
        *Button28, *Button30, *Button31, *Button32, *Button34, *Button35, *Button39, *Button40,
        *Button41, *Button42, *Button43, *Button44, *Button45, *Button48, *Button29, *Button37, *Button38;

    QMenuBar *MainMenu1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildShell(QWidget *client);
    void buildProcedureArea(QWidget *client);
    void buildEncoderPanel(QWidget *client);
    void buildEncoderSetters(QWidget *client);
    void buildDiagnostics();
    void colourReplyLog(const QColor &colour);
    // Ends an encoder 1 setter: reads encoder 1 back, then either the
    // completion message or one error naming what the camera refused or did
    // not keep (reply: the setter's reply; offered: the setter's values).
    void finishSetter(const QByteArray &reply, qzr::encoder::EncoderKey key, const QString &value,
                      const QStringList &offered, bool stepToMaximum);
    // The values the panel's combo for a setting offers.
    QStringList panelOffers(qzr::encoder::EncoderKey key) const;
    void buildMenu();
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
