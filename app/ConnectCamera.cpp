#include "app/ConnectCamera.h"

#include "app/Unit1.h"
#include "app/Unit3.h"
#include "protocol/CameraFailure.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"

bool connectMainWindow(const QString &address, int port, bool loginNeeded)
{
    if (!Form1 || !Form3)
        return false;
    if (loginNeeded) {
        // The camera did not tell its realm to the read, which logs in nowhere.
        QString user = Form1->Edit3->text();
        QString password;
        if (!qzr::dialogs().askLogin(qzr::cameraAddressText(address, port), QString(), user, password))
            return false;
        Form1->Edit3->setText(user);
        Form1->Edit4->setText(password);
    }
    Form1->Edit1->setText(address);
    Form1->Edit2->setText(QString::number(port));
    Form3->Edit1->setText(address);
    return qzr::runReported([] { Form3->Button1Click(); });
}
