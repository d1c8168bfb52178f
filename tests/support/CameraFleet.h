#pragma once
// A fleet of simulated cameras on loopback, each on a thread of its own, for
// the tests of commands that work on many cameras.
#include "sim/SimThread.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace qzr::testsupport {

using Fleet = std::vector<std::unique_ptr<sim::SimThread>>;

// `count` cameras with MACs 02:00:00:00:00:01, :02, ... and the given
// password; empty when one does not start.
inline Fleet startedFleet(int count, const QString &password = QStringLiteral("kqm"))
{
    Fleet fleet;
    for (int k = 0; k < count; ++k) {
        sim::CameraOptions options;
        options.mac = QStringLiteral("02:00:00:00:00:%1").arg(k + 1, 2, 10, QLatin1Char('0'));
        options.password = password;
        auto camera = std::make_unique<sim::SimThread>(options);
        if (camera->start(0) == 0)
            return {};
        fleet.push_back(std::move(camera));
    }
    return fleet;
}

// "127.0.0.1:PORT", as a host list names a camera.
inline QString hostOf(const sim::SimThread &camera)
{
    return QStringLiteral("127.0.0.1:%1").arg(camera.port());
}

// The fleet as a comma-separated host list.
inline QString hostList(const Fleet &fleet)
{
    QStringList hosts;
    for (const auto &camera : fleet)
        hosts << hostOf(*camera);
    return hosts.join(QLatin1Char(','));
}

} // namespace qzr::testsupport
