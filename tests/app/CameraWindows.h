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

    void close()
    {
        windows.reset();
        dialogs.reset();
        sim.reset();
    }
};
