#include "app/UserDialogs.h"

#include "app/Operation.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace qzr {

namespace {
UserDialogs *g_replacement = nullptr;
}

UserDialogs &dialogs()
{
    static QtUserDialogs qtDialogs;
    return g_replacement ? *g_replacement : qtDialogs;
}

void setDialogs(UserDialogs *replacement)
{
    g_replacement = replacement;
}

void QtUserDialogs::showError(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok);
    box.exec();
}

void QtUserDialogs::showMessage(const QString &text, std::optional<QPoint> topLeft)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok);
    if (topLeft) {
        box.show();
        box.move(*topLeft);
    }
    box.exec();
}

void QtUserDialogs::showNotice(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Information, applicationTitle(), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->show();
}

bool QtUserDialogs::confirm(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::Cancel);
    return box.exec() == QMessageBox::Yes;
}

QString QtUserDialogs::openFileName(const QString &caption, const QString &filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, QString(), filter);
}

QString QtUserDialogs::saveFileName(const QString &caption, const QString &filter)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), caption, QString(), filter);
}

void QtUserDialogs::pause(int pause_ms)
{
    pauseWithoutFreezing(pause_ms);
}

bool QtUserDialogs::askLogin(const QString &site, const QString &realm, QString &user, QString &password)
{
    QDialog box(QApplication::activeWindow());
    box.setWindowTitle(applicationTitle());
    auto *form = new QFormLayout(&box);
    form->addRow(new QLabel(QStringLiteral("%1 asks you to log in (%2).").arg(site, realm)));
    auto *userField = new QLineEdit(&box);
    auto *passwordField = new QLineEdit(&box);
    passwordField->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("User"), userField);
    form->addRow(QStringLiteral("Password"), passwordField);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    form->addRow(buttons);
    if (box.exec() != QDialog::Accepted)
        return false;
    user = userField->text();
    password = passwordField->text();
    return true;
}

} // namespace qzr
