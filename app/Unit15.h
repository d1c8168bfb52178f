#pragma once
#include "network/NetworkSettings.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class UpDown;

// "IP Settings": the camera's own network settings (address, subnet mask,
// gateway, HTTP port, password, DHCP), read back or changed on the camera the
// main window is connected to.
class TForm15 : public QWidget
{
    Q_OBJECT

public:
    // Runs a program without waiting for it and reports how it ended.
    using CommandRunner =
        std::function<void(QObject *owner, const qzr::network::DetachedCommand &, qzr::network::CommandDone)>;

    explicit TForm15(QWidget *parent = nullptr);
    ~TForm15() override;

    // How "Change Camera" runs the address cache flush (the platform's own
    // tool by default).
    void setCommandRunner(CommandRunner runner) { m_runCommand = std::move(runner); }

    void Button1Click();        // "Set IP + Subnetmask + Gateway"
    void Button2Click();        // "Get Settings"
    void Button3Click();        // "Change Camera"
    void Button4Click();        // "Set" HTTP port
    void Button6Click();        // "Set" password
    void RadioButton1Click();   // "DHCP Enabled"
    void RadioButton2Click();   // "DHCP Disabled"
    void UpDownClick(int octet); // a spinner's position into its octet field (0..3)

    QLabel *Label6, *Label7;    // "Current IP Address" / the current camera address
    QLabel *Label9, *Label8;    // "Current MAC Address" / the camera's MAC address
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label10; // field captions
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4; // the new address, one octet each
    UpDown *UpDown1, *UpDown2, *UpDown3, *UpDown4;
    QLineEdit *Edit5;           // new subnet mask
    QLineEdit *Edit6;           // new gateway
    QLineEdit *Edit7;           // new HTTP port
    QLineEdit *Edit8;           // RTSP port as read (read-only)
    QLineEdit *Edit9;           // new password
    QPushButton *Button1, *Button2, *Button3, *Button4, *Button6;
    QRadioButton *RadioButton1, *RadioButton2;

private:
    std::array<QLineEdit *, 4> octetFields() const { return {Edit1, Edit2, Edit3, Edit4}; }
    void switchDhcp(bool enabled, QRadioButton *other);

    // True when the camera answers a read on port with the main window's
    // address and credentials; the last-used port becomes port.
    bool cameraAnswersOn(int port);

    CommandRunner m_runCommand = qzr::network::runInBackground;
};

extern TForm15 *Form15;
