// Finding cameras, timed, against qzr-camsim fleets on loopback only:
//   1. WS-Discovery of 100 simulated cameras on 127.0.1.1.. (interface "lo",
//      a discovery port of its own): how many are found within the default
//      window, and when the last one appeared;
//   2. a sweep of 127.0.2.0/24 holding 20 cameras that do not answer
//      WS-Discovery: how long until all are listed with their identity.
// Run it through bench/run_discovery_bench.sh BUILD_DIR (a private network
// namespace when possible). Prints the figures; exit status 1 when a target
// is missed (not all 100 found, or the sweep took over 2 s).
#include "SimFleet.h"
#include "discovery/CameraFinder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace qzr::discovery;

namespace {

constexpr int kFleetCameras = 100;
constexpr int kSweepCameras = 20;
constexpr int kSweepLimitMs = 2000;

struct SearchFigures
{
    int found = 0;
    int identified = 0;
    qint64 lastFoundMs = -1;
    qint64 endedMs = -1;
};

SearchFigures timeSearch(const SearchOptions &options, int port, int expected)
{
    CameraFinder finder;
    SearchFigures figures;
    QElapsedTimer clock;
    QEventLoop loop;
    QObject::connect(&finder, &CameraFinder::camerasChanged, &finder, [&] {
        int found = 0;
        for (const FoundCamera &camera : finder.cameras())
            found += camera.port == port ? 1 : 0;
        if (found > figures.found && found == expected && figures.lastFoundMs < 0)
            figures.lastFoundMs = clock.elapsed();
        figures.found = qMax(figures.found, found);
    });
    QObject::connect(&finder, &CameraFinder::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60'000, &loop, &QEventLoop::quit); // a bound, not a measure
    clock.start();
    if (!finder.start(options)) {
        std::fprintf(stderr, "search did not start: %s\n", qPrintable(finder.errorText()));
        return figures;
    }
    loop.exec();
    figures.endedMs = clock.elapsed();
    figures.found = 0;
    for (const FoundCamera &camera : finder.cameras()) {
        if (camera.port != port)
            continue;
        ++figures.found;
        figures.identified += camera.identity.mac.isEmpty() ? 0 : 1;
    }
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const quint16 discoveryPort = qzr::discoverytest::freeDiscoveryPort();
    bool ok = true;

    {
        qzr::discoverytest::SimFleet fleet;
        if (!fleet.start({"--cameras", QString::number(kFleetCameras), "--address", "127.0.1.1", "--address-per-camera"},
                         discoveryPort)) {
            std::fprintf(stderr, "the fleet of %d cameras did not start\n", kFleetCameras);
            return 1;
        }
        SearchOptions options;
        options.interfaces = {QStringLiteral("lo")};
        options.discoveryPort = discoveryPort;
        options.identify = true; // as "qzr discover --identify"
        const SearchFigures figures = timeSearch(options, fleet.port(), kFleetCameras);
        std::printf("WS-Discovery, %d cameras on lo: %d found within the %d ms window "
                    "(the last after %lld ms), %d with model, firmware and MAC; search ended after %lld ms\n",
                    kFleetCameras, figures.found, options.wait_ms, static_cast<long long>(figures.lastFoundMs),
                    figures.identified, static_cast<long long>(figures.endedMs));
        ok = ok && figures.found == kFleetCameras && figures.lastFoundMs >= 0 && figures.lastFoundMs <= options.wait_ms;
    }
    {
        qzr::discoverytest::SimFleet fleet;
        if (!fleet.start({"--cameras", QString::number(kSweepCameras), "--address", "127.0.2.10",
                          "--address-per-camera", "--no-discovery"}, discoveryPort)) {
            std::fprintf(stderr, "the fleet of %d cameras did not start\n", kSweepCameras);
            return 1;
        }
        SearchOptions options;
        options.interfaces = {QStringLiteral("lo")};
        options.discoveryPort = discoveryPort;
        options.wait_ms = 0; // the sweep alone
        options.identify = true;
        QString error;
        options.sweeps = {*parseSweepRange(QStringLiteral("127.0.2.0/24:%1").arg(fleet.port()), &error)};
        const SearchFigures figures = timeSearch(options, fleet.port(), kSweepCameras);
        std::printf("Sweep of 127.0.2.0/24 (254 addresses, %d at once), %d cameras: %d found, %d with identity, "
                    "in %lld ms (target: at most %d ms)\n",
                    options.jobs, kSweepCameras, figures.found, figures.identified,
                    static_cast<long long>(figures.endedMs), kSweepLimitMs);
        ok = ok && figures.found == kSweepCameras && figures.endedMs <= kSweepLimitMs;
    }
    return ok ? 0 : 1;
}
