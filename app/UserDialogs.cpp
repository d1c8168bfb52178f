#include "app/UserDialogs.h"

#include "app/Operation.h"

#include <QApplication>
#include <QFileDialog>
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

} // namespace qzr
