#pragma once
#include "ScriptedDialogs.h"
#include "app/WindowSet.h"
#include "sim/SimThread.h"

#include <QStringList>

#include <memory>

// A simulated camera on loopback, scripted dialogs and the window set with its
// connection fields pointing at the camera: what every window test starts from.
struct CameraWindows
{
    std::unique_ptr<qzr::sim::SimThread> sim;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<qzr::WindowSet> windows;

    // Starts the camera; false when it could not listen.
    bool startCamera()
    {
        sim = std::make_unique<qzr::sim::SimThread>();
        return sim->start() != 0;
    }

    // Installs the dialogs and creates the windows (after the camera).
    void openWindows()
    {
        dialogs = std::make_unique<ScriptedDialogs>();
        qzr::StartOptions options;
        options.address = QStringLiteral("127.0.0.1");
        options.port = QString::number(sim->port());
        windows = std::make_unique<qzr::WindowSet>(options);
    }

    // The queries the camera received, in order, without "/api/param?".
    QStringList queries() const
    {
        QStringList list;
        for (const auto &request : sim->requests())
            list << request.target.mid(request.target.indexOf(QLatin1Char('?')) + 1);
        return list;
    }

    // The error report's texts for the camera's failures, as the windows show
    // them: the camera named, then what to check.
    QString notFound() const
    {
        return QStringLiteral("127.0.0.1:%1 does not know the request (404 Not Found): check that Camera IP and "
                              "HTTP Port lead to a QZ-R camera.")
            .arg(sim->port());
    }
    QString serverError() const
    {
        return QStringLiteral("127.0.0.1:%1 failed the request (500 Internal Server Error): try again, or restart "
                              "the camera.")
            .arg(sim->port());
    }
    QString loginRefused() const
    {
        return QStringLiteral("127.0.0.1:%1 refused the login (401 Unauthorized): check User and Password.")
            .arg(sim->port());
    }

    void close()
    {
        windows.reset();
        dialogs.reset();
        sim.reset();
    }
};
