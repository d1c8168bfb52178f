#pragma once
#include <QPoint>
#include <QString>
#include <optional>

class QWidget;

namespace qzr {

// Everything that asks or tells the user something, or makes the user wait.
// The real answers are Qt's dialogs; tests install a scripted replacement.
class UserDialogs
{
public:
    virtual ~UserDialogs() = default;

    // The application-wide error report: error icon, OK, titled with the
    // application title. The text arrives with its final "." already added.
    virtual void showError(const QString &text) = 0;

    // A plain message, optionally with its box's top-left at a screen position.
    virtual void showMessage(const QString &text, std::optional<QPoint> topLeft = std::nullopt) = 0;

    // A note that does not hold the user up: shown without a modal box.
    virtual void showNotice(const QString &text) = 0;

    // A Yes/Cancel confirmation; true for Yes.
    virtual bool confirm(const QString &title, const QString &text) = 0;

    // File dialogs; an empty text when the user cancelled.
    virtual QString openFileName(const QString &caption, const QString &filter) = 0;
    virtual QString saveFileName(const QString &caption, const QString &filter) = 0;

    // A blocking pause: the windows stay painted, user input waits.
    virtual void pause(int pause_ms) = 0;

    // A web page shown by the tool asks to log in (site "host:port", the
    // realm it names). True with user and password filled in; false when
    // the user cancelled.
    virtual bool askLogin(const QString &site, const QString &realm, QString &user, QString &password) = 0;
};

// The dialogs in use (Qt's unless a test installed others).
UserDialogs &dialogs();

// Installs replacement dialogs (not owned); nullptr restores Qt's.
void setDialogs(UserDialogs *replacement);

// Qt's dialogs.
class QtUserDialogs : public UserDialogs
{
public:
    void showError(const QString &text) override;
    void showMessage(const QString &text, std::optional<QPoint> topLeft) override;
    void showNotice(const QString &text) override;
    bool confirm(const QString &title, const QString &text) override;
    QString openFileName(const QString &caption, const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &filter) override;
    void pause(int pause_ms) override;
    bool askLogin(const QString &site, const QString &realm, QString &user, QString &password) override;
};

} // namespace qzr
