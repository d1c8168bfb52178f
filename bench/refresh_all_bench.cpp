// Times "REFRESH ALL" of the encoder info page through the tool (the window
// set against an in-process simulated camera) against the same eighteen reads
// through the bare client (readAllEncoderSettings on a plain CameraSession
// with the same client settings), both against the same simulator.
//
//   qzr_bench_refresh_all [REFRESHES=200] [ROUNDS=5]
//
// Each round runs REFRESHES refreshes through the tool, then as many through
// the bare client; the figures are the medians (and the best round) after one
// unmeasured warm-up of each. Not a test: it prints figures and exits 0, or 1
// when a run did not do what it should (a request failed, wrong values, or a
// different number of requests).

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit12.h"
#include "app/WindowSet.h"
#include "encoder/EncoderRead.h"
#include "protocol/CameraError.h"
#include "protocol/CameraSession.h"
#include "protocol/ReplyLog.h"
#include "sim/SimThread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

constexpr int kRequestsPerRefresh = 18;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Runs one block of refreshes; returns microseconds per refresh, or a
// negative number when a refresh failed.
double timeRefreshes(int refreshes, const std::function<void()> &refresh)
{
    QElapsedTimer timer;
    timer.start();
    try {
        for (int i = 0; i < refreshes; ++i)
            refresh();
    } catch (const qzr::CameraError &error) {
        std::fprintf(stderr, "refresh failed: %s\n", qPrintable(error.text()));
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1000.0 / refreshes;
}

int positiveArgument(int argc, char **argv, int index, int fallback)
{
    if (argc <= index)
        return fallback;
    bool ok = false;
    const int value = QString::fromLocal8Bit(argv[index]).toInt(&ok);
    if (!ok || value <= 0) {
        std::fprintf(stderr, "usage: qzr_bench_refresh_all [REFRESHES=200] [ROUNDS=5]\n");
        std::exit(2);
    }
    return value;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qzr.*.debug=false\nqzr.*.info=false"));

    const int refreshes = positiveArgument(argc, argv, 1, 200);
    const int rounds = positiveArgument(argc, argv, 2, 5);

    qzr::sim::SimThread sim;
    const quint16 port = sim.start(0);
    if (port == 0) {
        std::fprintf(stderr, "the simulated camera could not listen\n");
        return 1;
    }
    const QString portText = QString::number(port);

    // The tool: the window set with its connection fields on the camera.
    qzr::StartOptions options;
    options.address = QStringLiteral("127.0.0.1");
    options.port = portText;
    qzr::WindowSet windows(options);
    auto toolRefresh = [] { Form12->Button1Click(); };

    // The bare client, with the settings the tool's client has.
    qzr::ReplyLog log;
    qzr::CameraSession bare(log);
    qzr::ParamClient &toolClient = Form1->session().client();
    bare.client().setReplyTimeoutMs(toolClient.replyTimeoutMs());
    bare.applyConnection({Form1->Edit1->text(), Form1->Edit2->text(), Form1->Edit3->text(), Form1->Edit4->text()});
    std::array<qzr::encoder::EncoderSettings, qzr::encoder::kEncoderCount> bareResult;
    auto bareRefresh = [&] { bareResult = qzr::encoder::readAllEncoderSettings(bare); };

    // Warm-up, and a check that both read what the camera holds.
    sim.clearRequests();
    if (timeRefreshes(1, toolRefresh) < 0 || timeRefreshes(1, bareRefresh) < 0)
        return 1;
    if (sim.requests().size() != 2 * kRequestsPerRefresh) {
        std::fprintf(stderr, "expected %d requests per refresh, the camera saw %lld for two\n", kRequestsPerRefresh,
                     static_cast<long long>(sim.requests().size()));
        return 1;
    }
    for (int encoder = 1; encoder <= qzr::encoder::kEncoderCount; ++encoder) {
        const QString type = sim.value(QStringLiteral("encode(%1).type").arg(encoder)).value_or(QString());
        const QString frameRate = sim.value(QStringLiteral("encode(%1).framerate").arg(encoder)).value_or(QString());
        const auto &settings = bareResult[std::size_t(encoder - 1)];
        if (Form12->column(encoder).type->text() != type || settings.type != type || settings.frameRate != frameRate) {
            std::fprintf(stderr, "encoder %d: the reads do not show the camera's values\n", encoder);
            return 1;
        }
    }

    std::vector<double> toolTimes;
    std::vector<double> bareTimes;
    for (int round = 0; round < rounds; ++round) {
        sim.clearRequests();
        const double tool = timeRefreshes(refreshes, toolRefresh);
        const qsizetype toolRequests = sim.requests().size();
        sim.clearRequests();
        const double plain = timeRefreshes(refreshes, bareRefresh);
        const qsizetype bareRequests = sim.requests().size();
        if (tool < 0 || plain < 0)
            return 1;
        if (toolRequests != qsizetype(refreshes) * kRequestsPerRefresh || bareRequests != toolRequests) {
            std::fprintf(stderr, "request counts differ: tool %lld, bare %lld\n", static_cast<long long>(toolRequests),
                         static_cast<long long>(bareRequests));
            return 1;
        }
        toolTimes.push_back(tool);
        bareTimes.push_back(plain);
        std::printf("round %d: tool %8.1f us, bare %8.1f us per refresh (ratio %.2f)\n", round + 1, tool, plain,
                    tool / plain);
        std::fflush(stdout);
    }

    const double toolMedian = median(toolTimes);
    const double bareMedian = median(bareTimes);
    const double toolBest = *std::min_element(toolTimes.begin(), toolTimes.end());
    const double bareBest = *std::min_element(bareTimes.begin(), bareTimes.end());
    std::printf("\n%d refreshes x %d rounds, %d requests per refresh, %d connection(s) opened in all\n", refreshes,
                rounds, kRequestsPerRefresh, sim.connectionCount());
    std::printf("REFRESH ALL through the tool : median %8.1f us per refresh (best %8.1f)\n", toolMedian, toolBest);
    std::printf("readAllEncoderSettings, bare : median %8.1f us per refresh (best %8.1f)\n", bareMedian, bareBest);
    std::printf("ratio tool / bare            : median %.2f (best rounds %.2f), target <= 2.00\n",
                toolMedian / bareMedian, toolBest / bareBest);
    return 0;
}
