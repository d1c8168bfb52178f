#pragma once
#include "network/NetworkSettings.h"

#include <QWidget>

#include <functional>

#include "ui_Unit15.h"

// "IP Settings": the camera's own network settings (address, subnet mask,
// gateway, HTTP port, password, DHCP), read back or changed on the camera the
// main window is connected to.
class TForm15 : public QWidget, public Ui::TForm15
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

    // Unit15.ui holds the controls:
    //   Label6, Label7    "Current IP Address" / the current camera address
    //   Label9, Label8    "Current MAC Address" / the camera's MAC address
    //   Label1..Label5, Label10  field captions
    //   Edit1..Edit4      the new address, one octet each, with UpDown1..UpDown4
    //   Edit5             new subnet mask
    //   Edit6             new gateway
    //   Edit7             new HTTP port
    //   Edit8             RTSP port as read (read-only)
    //   Edit9             new password
    //   Button1..Button4, Button6, RadioButton1 (DHCP on), RadioButton2 (off)

private:
    std::array<QLineEdit *, 4> octetFields() const { return {Edit1, Edit2, Edit3, Edit4}; }
    void switchDhcp(bool enabled, QRadioButton *other);

    // True when the camera answers a read on port with the main window's
    // address and credentials; the last-used port becomes port.
    bool cameraAnswersOn(int port);

    CommandRunner m_runCommand = qzr::network::runInBackground;
};

extern TForm15 *Form15;
