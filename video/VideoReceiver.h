#pragma once

#include <QObject>
#include <QSize>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "video/StreamSource.h"
#include "video/VideoTypes.h"

Q_DECLARE_METATYPE(qzr::video::VideoFrame)

struct AVFrame;

namespace qzr::video {

// Time-outs and limits of reception; tests may shorten them.
struct ReceiverOptions
{
    RetryPolicy retry;
    int openTimeoutMs = 5000;    // opening the input, connect and DESCRIBE included
    int noDataTimeoutMs = 4000;  // a stream that delivers no packet this long is frozen
    int keyFrameWaitMs = 3000;   // after (re)connecting, pictures before a key frame
                                 // are dropped for at most this long
    int decoderThreads = 2;      // slice threads; frame threads would add delay
};

// Receives one video stream on a thread of its own: opens the source with
// libavformat, decodes H.264, Motion JPEG or MPEG-4 Part 2 with libavcodec and
// converts each picture with libswscale to RGB32 at the requested output size.
// Live sources that fail or are lost are reopened by the retry policy for as
// long as the receiver lives. All signals are delivered on the thread that
// owns the receiver. Pictures are handed over newest-first: when the owner's
// thread is busy, older pictures are replaced, never queued.
// What a stream may cost: no single buffer larger than this (an SDP, a
// packet, a picture), and no picture of more pixels (2560 x 1600, twice
// what the cameras send at most: 1920 x 1080).
inline constexpr size_t kMaxAllocationBytes = 64 * 1024 * 1024;
inline constexpr int kMaxPicturePixels = 2560 * 1600;
// What the decoder's pictures may hold together: a 1080p camera stream
// needs about 3 MB a picture and, at its level, 6 pictures at most.
inline constexpr size_t kPictureBudgetBytes = 64 * 1024 * 1024;

class VideoReceiver : public QObject
{
    Q_OBJECT
public:
    explicit VideoReceiver(std::unique_ptr<StreamSource> source, ReceiverOptions options = {},
                           QObject *parent = nullptr);
    // Stops: interrupts blocked FFmpeg calls and joins the thread (well under a second).
    ~VideoReceiver() override;

    void start();
    void stop();
    bool isRunning() const;

    // Output picture size; an empty size keeps the stream's own size. Applies
    // to the next picture; safe from any thread.
    void setOutputSize(QSize size);
    QSize outputSize() const;

    QString sourceDescription() const { return m_description; }
    bool isLive() const { return m_live; }
    FrameStats stats() const;

    // Receiver threads running in this process (ends are observable by tests).
    static int activeThreadCount();

signals:
    void started();                             // the input is open, decoding begins
    void firstFrame();                          // the first picture after each (re)open
    void frameReady(const qzr::video::VideoFrame &frame);
    void statsUpdated(const qzr::video::FrameStats &stats); // once a second while frames flow
    void errorOccurred(const qzr::video::VideoError &error);
    void finished();                            // a non-live source ended, or gave up

private:
    struct Decoding;
    enum class Outcome { Failed, Ended, Stopped };

    void run();
    Outcome receiveOnce(VideoError &error, bool &gotPictures);
    void handlePicture(Decoding &decoding, AVFrame *picture);
    void deliverLatest();
    bool waitInterruptibly(std::chrono::steady_clock::time_point until);
    void armDeadline(int milliseconds);
    static int interruptCallback(void *opaque);
    template <typename Function>
    void post(Function function);

    std::unique_ptr<StreamSource> m_source;
    const ReceiverOptions m_options;
    const QString m_description;
    const bool m_live;

    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<qint64> m_deadlineNs{0};
    std::atomic<bool> m_deadlineHit{false};
    // The camera answered with a redirect: the open is interrupted before
    // anything (the credentials above all) goes to the address it names.
    std::atomic<bool> m_redirected{false};
    QString m_redirectTarget; // under m_mutex
    friend void noteRedirect(const void *format, const QString &target);
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;

    mutable std::mutex m_mutex; // guards the members below
    QSize m_outputSize;
    VideoFrame m_latest;
    bool m_latestPending = false;
    FrameStats m_stats;
};

} // namespace qzr::video
