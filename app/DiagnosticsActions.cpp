// The main window's diagnostics: ping, the connection check, the camera
// search buttons, the UDP log, the service page and "Test".
#include "app/FindCamerasWindow.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit13.h"
#include "diagnostics/DatagramListener.h"
#include "diagnostics/Diagnostics.h"
#include "protocol/CameraError.h"
#include "windowsupport/FormSupport.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"

#include <QTimer>

using namespace qzr;

void TForm1::bindDiagnostics()
{
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(diagnostics::kCheckConnectionTickMs);
    // A tick that comes while an operation waits is handled after it, in
    // order with the datagrams; ticks meanwhile count as one, and a timer
    // stopped by then leaves none behind.
    connect(Timer1, &QTimer::timeout, this, [this] {
        if (m_tickQueued)
            return;
        m_tickQueued = true;
        handleWhenIdle(this, [this] {
            m_tickQueued = false;
            if (Timer1->isActive())
                runReported([this] { Timer1Timer(); });
        });
    });

    connectReported(Button30, &QAbstractButton::clicked, this, &TForm1::Button30Click);
    connectReported(Button31, &QAbstractButton::clicked, this, &TForm1::Button31Click);
    connectReported(Button32, &QAbstractButton::clicked, this, &TForm1::Button32Click);
    connectReported(Button26, &QAbstractButton::clicked, this, &TForm1::Button26Click);
    connectReported(CheckBox4, &QAbstractButton::clicked, this, &TForm1::CheckBox4Click);
    connectReported(CheckBox6, &QAbstractButton::clicked, this, &TForm1::CheckBox6Click);
}

void TForm1::colourReplyLog(const QColor &colour)
{
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, colour);
    Memo1->setPalette(palette);
}

void TForm1::Button30Click()
{
    Timer1->stop();
    // The port plays no part in an echo, but it has to be a whole number.
    toIntegerOrThrow(Edit2->text());
    icmp::EchoRequest request;
    request.host = Edit1->text();
    request.wait_ms = icmp::kEchoWaitMs;
    request.sequence = ++m_pingSequence;
    const EchoSender echo = m_echo;
    icmp::EchoResult result;
    runWorkWithoutFreezing([&] { result = echo(request); });
    if (result.failed())
        throw CameraError(result.errorText);
    IdIcmpClient1Reply(result);
}

void TForm1::IdIcmpClient1Reply(const icmp::EchoResult &result)
{
    toIntegerOrThrow(Edit2->text());
    if (result.answer) {
        ListBox1->addItem(diagnostics::pingLine(*result.answer));
        ListBox1->scrollToBottom();
    } else {
        colourReplyLog(Qt::red);
        m_replyLog.setText(diagnostics::noConnectionLogText());
        ListBox1->clear();
        if (CheckBox4->isChecked()) {
            CheckBox4->setChecked(false);
            CheckBox4Click();
        }
        dialogs().showMessage(diagnostics::noConnectionMessage());
    }
    if (diagnostics::pingListOverflows(ListBox1->count()))
        ListBox1->clear();
}

void TForm1::CheckBox4Click()
{
    if (CheckBox4->isChecked()) {
        Timer1->start();
        Memo3->show();
        return;
    }
    Timer1->stop();
    ListBox1->hide();
    colourReplyLog(Qt::white);
    Memo3->hide();
    m_replyLog.clear();
}

void TForm1::Timer1Timer()
{
    ListBox1->show();
    ListBox1->raise();
    Button30Click();
}

void TForm1::Button31Click()
{
    findCamerasWindow()->openAndSearch();
}

void TForm1::Button32Click()
{
    Timer1->stop();
    if (FormFindCameras)
        FormFindCameras->stopSearch();
}

bool TForm1::startUdpLog(quint16 port)
{
    delete IdUDPServer1;
    IdUDPServer1 = nullptr;
    auto *listener = new DatagramListener(this);
    if (!listener->listen(port)) {
        const QString message =
            withFinalPeriod(diagnostics::udpLogOffMessage(diagnostics::bindFailureReason(listener->bindErrno()), port));
        delete listener;
        // Told once the event loop runs: over the windows, and without
        // holding up the start.
        QTimer::singleShot(0, this, [message] { dialogs().showError(message); });
        return false;
    }
    IdUDPServer1 = listener;
    // Datagrams that arrive while an operation waits are handled after it.
    connect(listener, &DatagramListener::received, this, [this](const QByteArray &datagram) {
        handleWhenIdle(this, [this, datagram] { runReported([this, &datagram] { IdUDPServer1UDPRead(datagram); }); });
    });
    return true;
}

void TForm1::IdUDPServer1UDPRead(const QByteArray &datagram)
{
    m_replyLog.setText(m_replyLog.text() + diagnostics::datagramText(datagram));
    m_replyLog.appendLine(QString());
}

void TForm1::CheckBox6Click()
{
    // The last-used address as it is: no ApplyConnection here. Before any
    // camera operation there is none, and an empty host would send the
    // browser to a host named "cgi-bin": the connection fields stand in.
    if (!Form13)
        return;
    Form13->show();
    Form13->raise();
    const bool addressed = !m_session.lastCameraIp().isEmpty();
    Form13->Navigate(diagnostics::serviceUrl(addressed ? m_session.lastCameraIp() : Edit1->text(),
                                             addressed ? m_session.lastCameraPort() : Edit2->text()));
}

void TForm1::Button26Click()
{
    m_replyLog.clear();
    ApplyConnection();
    LogReply(CameraGet(ParamQuery::read(diagnostics::testKey())));
    for (int i = 0; i < 4; ++i)
        m_replyLog.deleteLine(0);
    m_replyLog.setText(diagnostics::testResult(m_replyLog.text()));
}
