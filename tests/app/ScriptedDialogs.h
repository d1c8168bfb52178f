#pragma once
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"

#include <functional>

#include <QList>
#include <QStringList>

// Stands in for the user: records what the tool shows and answers as told.
class ScriptedDialogs : public qzr::UserDialogs
{
public:
    ScriptedDialogs() { qzr::setDialogs(this); }
    ~ScriptedDialogs() override { qzr::setDialogs(nullptr); }

    void showError(const QString &text) override { errors << text; }
    void showMessage(const QString &text, std::optional<QPoint> topLeft) override
    {
        messages << text;
        messagePositions << topLeft;
        if (onMessage)
            onMessage(text);
    }
    void showNotice(const QString &text) override { notices << text; }
    bool confirm(const QString &title, const QString &text) override
    {
        confirmations << title + QLatin1Char('|') + text;
        return confirmAnswer;
    }
    QString openFileName(const QString &, const QString &filter) override
    {
        fileDialogs << QStringLiteral("open ") + filter;
        return openAnswer;
    }
    QString saveFileName(const QString &, const QString &filter) override
    {
        fileDialogs << QStringLiteral("save ") + filter;
        return saveAnswer;
    }
    void pause(int pause_ms) override
    {
        pauses << pause_ms;
        if (onPause)
            onPause(pause_ms);
        if (realPauses)
            qzr::pauseWithoutFreezing(pause_ms);
    }
    bool askLogin(const QString &site, const QString &realm, QString &user, QString &password) override
    {
        logins << site + QLatin1Char('|') + realm;
        user = loginUser;
        password = loginPassword;
        return loginAnswer;
    }

    QStringList errors;
    QStringList messages;
    QStringList notices;                                  // shown without a modal box
    QList<std::optional<QPoint>> messagePositions;
    QStringList confirmations;
    QList<int> pauses;
    QStringList fileDialogs; // "open *.txt", "save *.txt", as they were shown
    bool confirmAnswer = true;
    QString openAnswer;
    QString saveAnswer;
    bool realPauses = false;                              // wait for real, as the tool does
    QStringList logins;                                   // "host:port|realm" of each login asked for
    bool loginAnswer = false;                             // true: log in as loginUser / loginPassword
    QString loginUser;
    QString loginPassword;
    std::function<void(const QString &)> onMessage;      // called as each message is shown
    std::function<void(int)> onPause;                     // called as each pause begins
};
