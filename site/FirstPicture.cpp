#include "site/FirstPicture.h"

#include "protocol/ShownText.h"
#include "video/StreamSource.h"
#include "video/VideoReceiver.h"

#include <QEventLoop>
#include <QTimer>

#include <map>
#include <memory>

namespace qzr::site {

namespace {

constexpr int kStopCheckMs = 200;

// One stream being received.
struct Reception
{
    std::unique_ptr<video::VideoReceiver> receiver;
    std::unique_ptr<QTimer> limit;
    bool done = false;
};

QString errorText(const video::VideoError &error)
{
    const QString category = video::errorCategoryText(error.category);
    if (error.detail.trimmed().isEmpty() || error.detail.trimmed().compare(category, Qt::CaseInsensitive) == 0)
        return category;
    return shownText(QStringLiteral("%1 (%2)").arg(category, error.detail.trimmed()), kMaxShownMessageChars);
}

} // namespace

void grabFirstPictures(const QList<PictureSource> &sources, int parallel, int limitMs, const PictureDone &done,
                       const PictureStop &stop)
{
    const int total = int(sources.size());
    if (total == 0)
        return;
    parallel = qMax(1, parallel);
    QEventLoop loop;
    std::map<int, Reception> receiving;
    int next = 0;
    int active = 0;
    int finished = 0;

    std::function<void()> startMore;
    // Ends a stream's reception: the receiver (and what it decoded) goes
    // once control is back in the loop, not inside its own signal.
    const auto finish = [&](int index, const QImage &picture, const QString &error) {
        Reception &reception = receiving[index];
        if (reception.done)
            return;
        reception.done = true;
        QObject::disconnect(reception.receiver.get(), nullptr, &loop, nullptr);
        reception.limit->stop();
        --active;
        ++finished;
        done(index, picture, error);
        QTimer::singleShot(0, &loop, [&receiving, index] { receiving.erase(index); });
        startMore();
        if (finished == total)
            loop.quit();
    };
    startMore = [&] {
        while (next < total && active < parallel) {
            const int index = next++;
            ++active;
            const PictureSource &source = sources.at(index);
            video::ReceiverOptions options;
            options.retry.retryFatal = false;
            options.decoderThreads = 1;
            // Busy cores make an open slow; the time limit still holds.
            options.openTimeoutMs = qMax(options.openTimeoutMs, limitMs * 2 / 3);
            Reception &reception = receiving[index];
            reception.receiver = std::make_unique<video::VideoReceiver>(
                std::make_unique<video::UrlStreamSource>(source.url, source.user, source.password), options);
            if (source.outputSize.isValid())
                reception.receiver->setOutputSize(source.outputSize);
            video::VideoReceiver *receiver = reception.receiver.get();
            QObject::connect(receiver, &video::VideoReceiver::frameReady, &loop,
                             [&finish, index](const video::VideoFrame &frame) {
                                 if (frame.image.isNull())
                                     finish(index, {}, QStringLiteral("the first picture was empty"));
                                 else
                                     finish(index, frame.image, QString());
                             });
            QObject::connect(receiver, &video::VideoReceiver::errorOccurred, &loop,
                             [&finish, index](const video::VideoError &error) { finish(index, {}, errorText(error)); });
            QObject::connect(receiver, &video::VideoReceiver::finished, &loop, [&finish, index] {
                finish(index, {}, QStringLiteral("the stream ended before its first picture"));
            });
            reception.limit = std::make_unique<QTimer>();
            reception.limit->setSingleShot(true);
            QObject::connect(reception.limit.get(), &QTimer::timeout, &loop, [&finish, index, limitMs] {
                finish(index, {}, QStringLiteral("no picture within %1 s").arg(limitMs / 1000.0));
            });
            reception.limit->start(limitMs);
            receiver->start();
        }
    };
    QTimer stopCheck;
    if (stop) {
        QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&] {
            if (!stop())
                return;
            stopCheck.stop();
            const QString stopped = QStringLiteral("stopped before the first picture");
            // Nothing further is opened; those at work end now.
            const int opened = next;
            next = total;
            for (auto &[index, reception] : receiving) {
                if (!reception.done)
                    finish(index, {}, stopped);
            }
            for (int index = opened; index < total; ++index) {
                ++finished;
                done(index, {}, stopped);
            }
            if (finished == total)
                loop.quit();
        });
        stopCheck.start(kStopCheckMs);
    }
    startMore();
    if (finished < total)
        loop.exec();
    receiving.clear();
}

} // namespace qzr::site
