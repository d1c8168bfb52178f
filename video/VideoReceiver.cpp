#include "video/VideoReceiver.h"

#include "video/VideoLogging.h"

#include <QHash>
#include <QMetaObject>
#include <QRegularExpression>

#include <array>
#include <cmath>
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <mutex>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace qzr::video {

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_activeThreads{0};

// Motion is measured on a coarse grid of luma samples.
constexpr int kMotionGridWidth = 32;
constexpr int kMotionGridHeight = 18;

// FFmpeg's RTSP client follows a camera's 3xx answer to the address it
// names, with the credentials of the first one; it tells of it only in this
// message, right before it connects there (FFmpeg 5.1, libavformat/rtsp.c).
const QString kRedirectMessage = QStringLiteral("Redirecting to ");

} // namespace

// The receivers whose stream is being opened, by their format context: the
// log message of a redirect names the context it comes from.
std::mutex g_openingMutex;
QHash<const void *, VideoReceiver *> g_opening;

void noteRedirect(const void *format, const QString &target)
{
    std::lock_guard<std::mutex> lock(g_openingMutex);
    VideoReceiver *receiver = g_opening.value(format);
    if (!receiver)
        return;
    {
        std::lock_guard<std::mutex> receiverLock(receiver->m_mutex);
        receiver->m_redirectTarget = target;
    }
    receiver->m_redirected = true;
}

namespace {

// FFmpeg's messages pass one throttle, whichever stream they come from.
std::mutex g_throttleMutex;
MessageThrottle g_throttle;

// FFmpeg's own messages go to the video category, with any user information
// of an address removed; errors at info level, warnings at debug level, a
// flood of them summarised. A redirect stops the open it belongs to.
void logFromFfmpeg(void *object, int level, const char *format, va_list arguments)
{
    if (level > AV_LOG_INFO)
        return;
    char line[1024];
    int printPrefix = 1;
    av_log_format_line2(object, level, format, arguments, line, sizeof line, &printPrefix);
    static const QRegularExpression userInformation(QStringLiteral("://[^/@\\s]*@"));
    QString text = QString::fromUtf8(line).trimmed();
    text.replace(userInformation, QStringLiteral("://"));
    const qsizetype redirect = text.indexOf(kRedirectMessage);
    if (redirect >= 0)
        noteRedirect(object, text.mid(redirect + kRedirectMessage.size()).left(512));
    if (level > AV_LOG_WARNING)
        return;
    QStringList lines;
    {
        std::lock_guard<std::mutex> lock(g_throttleMutex);
        lines = g_throttle.admit(text, Clock::now());
    }
    for (const QString &logged : std::as_const(lines)) {
        if (logged != text || level <= AV_LOG_ERROR)
            qCInfo(lcVideo).noquote() << "ffmpeg:" << logged;
        else
            qCDebug(lcVideo).noquote() << "ffmpeg:" << logged;
    }
}

// An RGB32 picture that swscale may write into. Its vector code stores
// whole groups of pixels, past the end of a row whose width is no multiple
// of the group and past the last row (a picture of 384 bytes took writes 8
// and 16 bytes after its end): rows start on 64-byte boundaries, and a spare
// row and 64 bytes follow the last one.
QImage scalerTarget(QSize size)
{
    const qsizetype stride = (qsizetype(size.width()) * 4 + 63) & ~qsizetype(63);
    auto *data = static_cast<uchar *>(av_malloc(size_t(stride) * size_t(size.height() + 1) + 64));
    if (!data)
        return {};
    return QImage(data, size.width(), size.height(), stride, QImage::Format_RGB32, av_free, data);
}

// The bytes of picture memory a decoder holds now. Its pictures take
// their memory through countedPictureBuffer(), each giving its share back
// when the last reference to it goes; the pictures may outlive the decoder.
struct PictureBudget
{
    std::atomic<size_t> used{0};
};

struct CountedBuffer
{
    std::shared_ptr<PictureBudget> budget;
    AVBufferRef *inner;
};

void releaseCounted(void *opaque, uint8_t *)
{
    auto *counted = static_cast<CountedBuffer *>(opaque);
    counted->budget->used -= size_t(counted->inner->size);
    av_buffer_unref(&counted->inner);
    delete counted;
}

// The decoder's picture allocator: FFmpeg's own, refused once the pictures
// held would pass kPictureBudgetBytes. A stream claiming many large
// reference pictures then fails picture by picture instead of growing the
// process (FFmpeg checks the size of one picture only).
int countedPictureBuffer(AVCodecContext *codec, AVFrame *frame, int flags)
{
    const int result = avcodec_default_get_buffer2(codec, frame, flags);
    if (result < 0)
        return result;
    const auto &budget = *static_cast<std::shared_ptr<PictureBudget> *>(codec->opaque);
    size_t bytes = 0;
    for (const AVBufferRef *buffer : frame->buf)
        bytes += buffer ? size_t(buffer->size) : 0;
    bool taken = frame->nb_extended_buf == 0 && budget->used + bytes <= kPictureBudgetBytes;
    for (AVBufferRef *&buffer : frame->buf) {
        if (!taken || !buffer)
            continue;
        auto *counted = new CountedBuffer{budget, buffer};
        AVBufferRef *outer = av_buffer_create(buffer->data, buffer->size, releaseCounted, counted, 0);
        if (!outer) {
            delete counted;
            taken = false;
            continue;
        }
        budget->used += size_t(buffer->size);
        buffer = outer;
    }
    if (taken)
        return 0;
    for (AVBufferRef *&buffer : frame->buf)
        av_buffer_unref(&buffer);
    for (int i = 0; i < frame->nb_extended_buf; ++i)
        av_buffer_unref(&frame->extended_buf[i]);
    av_freep(&frame->extended_buf);
    frame->nb_extended_buf = 0;
    for (uint8_t *&data : frame->data)
        data = nullptr;
    frame->extended_data = nullptr;
    return AVERROR(ENOMEM);
}

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

QString ffmpegErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

VideoErrorCategory categoryOf(int code, bool timedOut, bool opened)
{
    if (timedOut)
        return VideoErrorCategory::NoData;
    switch (code) {
    case AVERROR(ECONNREFUSED): return VideoErrorCategory::Refused;
    case AVERROR_HTTP_UNAUTHORIZED:
    case AVERROR_HTTP_FORBIDDEN: return VideoErrorCategory::Unauthorised;
    case AVERROR_HTTP_NOT_FOUND:
    case AVERROR(ENOENT): return VideoErrorCategory::NotFound;
    case AVERROR(ETIMEDOUT):
    case AVERROR(EHOSTUNREACH):
    case AVERROR(ENETUNREACH):
    case AVERROR_EXIT: return VideoErrorCategory::NoData;
    case AVERROR_EOF:
    case AVERROR(ECONNRESET):
    case AVERROR(EPIPE): return VideoErrorCategory::StreamLost;
    default: return opened ? VideoErrorCategory::StreamLost : VideoErrorCategory::BadStream;
    }
}

// swscale expects the limited-range formats plus an explicit range; the
// full-range "J" formats of Motion JPEG otherwise warn on every picture.
AVPixelFormat withoutFullRangeAlias(AVPixelFormat format, bool &fullRange)
{
    fullRange = true;
    switch (format) {
    case AV_PIX_FMT_YUVJ420P: return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: return AV_PIX_FMT_YUV411P;
    default: fullRange = false; return format;
    }
}

// What the RGB converter was made and set up for.
struct ScalerSetting
{
    int sourceWidth = 0;
    int sourceHeight = 0;
    int format = -1;
    int width = 0;
    int height = 0;
    int colourspace = 0;
    bool fullRange = false;

    bool operator==(const ScalerSetting &other) const
    {
        return sourceWidth == other.sourceWidth && sourceHeight == other.sourceHeight && format == other.format
            && width == other.width && height == other.height && colourspace == other.colourspace
            && fullRange == other.fullRange;
    }
};

// The filter that resizes a picture from sourceWidth to width: area
// averaging (sharp, and on SIMD code) to shrink down to a third; beyond
// that, and to enlarge, the fast bilinear one, whose cost does not grow
// with the ratio.
int resizeFilter(int sourceWidth, int width)
{
    return width < sourceWidth && sourceWidth < 3 * width ? SWS_AREA : SWS_FAST_BILINEAR;
}

bool hasLumaPlane(AVPixelFormat format)
{
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(format);
    return descriptor && !(descriptor->flags & AV_PIX_FMT_FLAG_RGB)
        && (descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) && descriptor->comp[0].depth == 8;
}

} // namespace

// Everything of one open input; freed when the input closes.
struct VideoReceiver::Decoding
{
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    SwsContext *scaler = nullptr;
    ScalerSetting scalerSetting; // what scaler was set up for
    SwsContext *resizer = nullptr; // planar YUV to planar YUV of another size
    AVFrame *resized = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *picture = nullptr;
    int streamIndex = -1;
    QString codecName;
    bool awaitingKeyFrame = true;
    Clock::time_point openedAt;
    bool gotPictures = false;

    // Pacing of looping files.
    bool paceStarted = false;
    Clock::time_point paceStart;
    double paceFirstSeconds = 0;

    // Motion measurement.
    std::vector<quint8> previousGrid;

    // What the decoder's pictures hold.
    std::shared_ptr<PictureBudget> budget = std::make_shared<PictureBudget>();

    // Picture buffers handed to the owner, reused once it has let go of them.
    std::array<QImage, 4> buffers;
    std::size_t nextBuffer = 0;

    // Statistics window.
    Clock::time_point windowStart;
    int windowPictures = 0;
    double windowBusyMs = 0;

    ~Decoding()
    {
        sws_freeContext(scaler);
        sws_freeContext(resizer);
        av_frame_free(&resized);
        av_frame_free(&picture);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

VideoReceiver::VideoReceiver(std::unique_ptr<StreamSource> source, ReceiverOptions options,
                             QObject *parent)
    : QObject(parent), m_source(std::move(source)), m_options(options),
      m_description(m_source->description()), m_live(m_source->isLive())
{
    qRegisterMetaType<VideoFrame>();
    qRegisterMetaType<VideoError>();
    qRegisterMetaType<FrameStats>();
    static std::once_flag logRouted;
    std::call_once(logRouted, [] {
        av_log_set_callback(logFromFfmpeg);
        // No single buffer a stream asks for may be larger than this: a
        // camera announcing a 2 GB SDP, or a frame of 65,535 x 65,535, is
        // refused instead of allocated.
        av_max_alloc(kMaxAllocationBytes);
#ifdef __GLIBC__
        // A stream that keeps changing its picture size makes the decoder
        // free and allocate tables and pictures of hundreds of KB to MBs.
        // glibc raises its threshold for mapping such blocks each time one
        // is freed, and then keeps them in its heap, where the freed space
        // stays with the process: 400 MB of noise left it 320-350 MB large
        // instead of 240 MB. A fixed threshold keeps such blocks mapped and
        // gives them back when freed.
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    });
}

VideoReceiver::~VideoReceiver()
{
    stop();
}

void VideoReceiver::start()
{
    if (m_thread.joinable())
        return;
    m_stopRequested = false;
    ++g_activeThreads;
    m_thread = std::thread([this] {
        run();
        --g_activeThreads;
    });
}

void VideoReceiver::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    const auto begin = Clock::now();
    m_thread.join();
    qCDebug(lcVideo) << "receiver for" << m_description << "stopped in"
                     << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count()
                     << "ms";
}

bool VideoReceiver::isRunning() const
{
    return m_thread.joinable() && !m_stopRequested;
}

void VideoReceiver::setOutputSize(QSize size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_outputSize = size;
}

QSize VideoReceiver::outputSize() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outputSize;
}

FrameStats VideoReceiver::stats() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats;
}

int VideoReceiver::activeThreadCount()
{
    return g_activeThreads;
}

template <typename Function>
void VideoReceiver::post(Function function)
{
    // Runs on the owner's thread; dropped if the receiver is gone by then
    // (it cannot be: the destructor joins before the object dies).
    QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
}

int VideoReceiver::interruptCallback(void *opaque)
{
    auto *self = static_cast<VideoReceiver *>(opaque);
    if (self->m_stopRequested || self->m_redirected)
        return 1;
    const qint64 deadline = self->m_deadlineNs;
    if (deadline != 0 && nowNs() > deadline) {
        self->m_deadlineHit = true;
        return 1;
    }
    return 0;
}

void VideoReceiver::armDeadline(int milliseconds)
{
    m_deadlineNs = nowNs() + qint64(milliseconds) * 1000000;
}

bool VideoReceiver::waitInterruptibly(Clock::time_point until)
{
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    return !m_wake.wait_until(lock, until, [this] { return m_stopRequested.load(); });
}

void VideoReceiver::run()
{
    int failuresInRow = 0;
    while (!m_stopRequested) {
        VideoError error;
        bool gotPictures = false;
        const Outcome outcome = receiveOnce(error, gotPictures);
        if (outcome == Outcome::Stopped || m_stopRequested)
            break;
        if (outcome == Outcome::Ended) {
            post([this] { emit finished(); });
            break;
        }
        failuresInRow = gotPictures ? 1 : failuresInRow + 1;
        error.fatal = RetryPolicy::isFatal(error.category);
        error.retryInMs = m_live ? m_options.retry.delayMs(error.category, failuresInRow) : -1;
        qCInfo(lcVideo).noquote() << m_description << errorCategoryText(error.category) << "-"
                                  << error.detail
                                  << (error.retryInMs >= 0
                                          ? QStringLiteral("(retry in %1 ms)").arg(error.retryInMs)
                                          : QStringLiteral("(no retry)"));
        post([this, error] { emit errorOccurred(error); });
        if (error.retryInMs < 0) {
            post([this] { emit finished(); });
            break;
        }
        if (!waitInterruptibly(Clock::now() + std::chrono::milliseconds(error.retryInMs)))
            break;
    }
}

VideoReceiver::Outcome VideoReceiver::receiveOnce(VideoError &error, bool &gotPictures)
{
    Decoding d;
    d.format = avformat_alloc_context();
    d.format->interrupt_callback = {&VideoReceiver::interruptCallback, this};
    m_deadlineHit = false;
    m_redirected = false;
    armDeadline(m_options.openTimeoutMs);

    int result = 0;
    {
        // The context is known to the redirect check while it opens.
        const void *opening = d.format;
        {
            std::lock_guard<std::mutex> lock(g_openingMutex);
            g_opening.insert(opening, this);
        }
        result = m_source->open(&d.format);
        std::lock_guard<std::mutex> lock(g_openingMutex);
        g_opening.remove(opening);
    }
    if (m_stopRequested)
        return Outcome::Stopped; // an interrupted open reports arbitrary codes
    if (m_redirected) {
        error.category = VideoErrorCategory::Redirected;
        std::lock_guard<std::mutex> lock(m_mutex);
        error.detail = QStringLiteral("the camera sent the viewer to %1; the tool follows no redirect, so that the "
                                      "password goes only to the camera chosen")
                           .arg(m_redirectTarget);
        return Outcome::Failed;
    }
    if (result < 0) {
        error.category = categoryOf(result, m_deadlineHit, false);
        error.detail = m_deadlineHit ? QStringLiteral("no answer within %1 ms").arg(m_options.openTimeoutMs)
                                     : ffmpegErrorText(result);
        return Outcome::Failed;
    }

    const AVCodec *decoder = nullptr;
    d.streamIndex = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (d.streamIndex < 0 || !decoder) {
        error.category = VideoErrorCategory::BadStream;
        error.detail = d.streamIndex == AVERROR_DECODER_NOT_FOUND ? QStringLiteral("unsupported codec")
                                                                  : QStringLiteral("no video stream");
        return Outcome::Failed;
    }
    AVStream *stream = d.format->streams[d.streamIndex];
    d.codec = avcodec_alloc_context3(decoder);
    // A picture larger than any camera's is refused by the decoder.
    d.codec->max_pixels = kMaxPicturePixels;
    d.codec->opaque = &d.budget;
    d.codec->get_buffer2 = countedPictureBuffer;
    avcodec_parameters_to_context(d.codec, stream->codecpar);
    d.codec->flags |= AV_CODEC_FLAG_LOW_DELAY;
    d.codec->thread_type = FF_THREAD_SLICE;
    d.codec->thread_count = m_options.decoderThreads;
    result = avcodec_open2(d.codec, decoder, nullptr);
    if (result < 0) {
        error.category = VideoErrorCategory::BadStream;
        error.detail = QStringLiteral("decoder: ") + ffmpegErrorText(result);
        return Outcome::Failed;
    }
    d.codecName = QString::fromLatin1(decoder->name);
    d.packet = av_packet_alloc();
    d.picture = av_frame_alloc();
    d.openedAt = Clock::now();
    d.windowStart = d.openedAt;
    qCInfo(lcVideo).noquote() << "opened" << m_description << "codec" << d.codecName;
    post([this] { emit started(); });

    const bool loops = m_source->loops();
    const AVRational timeBase = stream->time_base;
    for (;;) {
        if (m_stopRequested)
            return Outcome::Stopped;
        armDeadline(m_options.noDataTimeoutMs); // from the last packet received
        result = av_read_frame(d.format, d.packet);
        if (m_stopRequested)
            return Outcome::Stopped;
        if (result == AVERROR(EAGAIN))
            continue;
        if (result == AVERROR_EOF && loops && d.gotPictures) {
            avformat_seek_file(d.format, d.streamIndex, INT64_MIN, 0, INT64_MAX, 0);
            avcodec_flush_buffers(d.codec);
            d.paceStarted = false;
            continue;
        }
        if (result == AVERROR_EOF && !m_live) {
            // End of file: flush the decoder's last pictures.
            avcodec_send_packet(d.codec, nullptr);
            while (avcodec_receive_frame(d.codec, d.picture) >= 0) {
                handlePicture(d, d.picture);
                av_frame_unref(d.picture);
            }
            gotPictures = d.gotPictures;
            return Outcome::Ended;
        }
        if (result < 0) {
            gotPictures = d.gotPictures;
            error.category = categoryOf(result, m_deadlineHit, true);
            error.detail = m_deadlineHit ? QStringLiteral("no packet for %1 ms").arg(m_options.noDataTimeoutMs)
                                         : ffmpegErrorText(result);
            return Outcome::Failed;
        }
        if (d.packet->stream_index != d.streamIndex) {
            av_packet_unref(d.packet);
            continue;
        }
        if (loops) {
            // Read a looping file at its own frame rate, like a camera.
            const int64_t timestamp = d.packet->pts != AV_NOPTS_VALUE ? d.packet->pts : d.packet->dts;
            if (timestamp != AV_NOPTS_VALUE) {
                const double seconds = timestamp * av_q2d(timeBase);
                if (!d.paceStarted) {
                    d.paceStarted = true;
                    d.paceStart = Clock::now();
                    d.paceFirstSeconds = seconds;
                }
                const auto due = d.paceStart
                    + std::chrono::microseconds(qint64((seconds - d.paceFirstSeconds) * 1e6));
                if (due > Clock::now() && !waitInterruptibly(due))
                    return Outcome::Stopped;
            }
        }

        const auto busyStart = Clock::now();
        int sent = avcodec_send_packet(d.codec, d.packet);
        av_packet_unref(d.packet);
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_stats.droppedFrames; // undecodable data; the decoder resynchronises
        }
        for (;;) {
            const int received = avcodec_receive_frame(d.codec, d.picture);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                break;
            if (received < 0) {
                std::lock_guard<std::mutex> lock(m_mutex);
                ++m_stats.droppedFrames;
                break;
            }
            handlePicture(d, d.picture);
            av_frame_unref(d.picture);
        }
        d.windowBusyMs +=
            std::chrono::duration<double, std::milli>(Clock::now() - busyStart).count();

        const auto now = Clock::now();
        const double windowSeconds = std::chrono::duration<double>(now - d.windowStart).count();
        if (windowSeconds >= 1.0) {
            FrameStats snapshot;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_stats.receivedFps = d.windowPictures / windowSeconds;
                m_stats.decodeMsPerFrame = d.windowPictures ? d.windowBusyMs / d.windowPictures : 0;
                snapshot = m_stats;
            }
            d.windowStart = now;
            d.windowPictures = 0;
            d.windowBusyMs = 0;
            post([this, snapshot] { emit statsUpdated(snapshot); });
        }
    }
}

void VideoReceiver::handlePicture(Decoding &d, AVFrame *picture)
{
    if (d.awaitingKeyFrame) {
        const bool waitedLongEnough =
            Clock::now() - d.openedAt > std::chrono::milliseconds(m_options.keyFrameWaitMs);
        if (!picture->key_frame && !waitedLongEnough) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_stats.droppedFrames; // a picture without its reference would be smeared
            return;
        }
        d.awaitingKeyFrame = false;
    }

    const int width = picture->width;
    const int height = picture->height;
    if (width <= 0 || height <= 0)
        return;
    const auto sourceFormat = static_cast<AVPixelFormat>(picture->format);

    // Motion: mean absolute luma change on a coarse grid.
    int motionLevel = 0;
    if (hasLumaPlane(sourceFormat)) {
        std::vector<quint8> grid(kMotionGridWidth * kMotionGridHeight);
        for (int y = 0; y < kMotionGridHeight; ++y) {
            const quint8 *row = picture->data[0]
                + qint64(picture->linesize[0]) * ((y * height) / kMotionGridHeight + height / (2 * kMotionGridHeight));
            for (int x = 0; x < kMotionGridWidth; ++x)
                grid[y * kMotionGridWidth + x] = row[(x * width) / kMotionGridWidth + width / (2 * kMotionGridWidth)];
        }
        if (d.previousGrid.size() == grid.size()) {
            long sum = 0;
            for (size_t i = 0; i < grid.size(); ++i)
                sum += std::abs(int(grid[i]) - int(d.previousGrid[i]));
            // A mean change of 64 grey levels or more counts as full motion.
            motionLevel = int(std::min<long>(100, (sum * 100) / (long(grid.size()) * 64)));
        }
        d.previousGrid.swap(grid);
    }

    QSize outputSize = this->outputSize();
    if (outputSize.width() <= 0 || outputSize.height() <= 0)
        outputSize = QSize(width, height);

    bool fullRange = false;
    const AVPixelFormat scalerFormat = withoutFullRangeAlias(sourceFormat, fullRange);

    // A picture of another size is made in two steps: resized in YUV, then
    // converted to RGB at its new size. swscale converts only same-size
    // pictures with its SIMD code; resizing and converting in one go writes
    // every RGB pixel on a plain C path (640x360 to a 256x144 wall tile:
    // 0.12 ms one step, 0.07 ms two; to 1280x720: 1.1 ms and 0.55 ms).
    const uint8_t *const *planes = picture->data;
    const int *strides = picture->linesize;
    int convertWidth = width;
    int convertHeight = height;
    if (outputSize != QSize(width, height) && hasLumaPlane(sourceFormat)) {
        d.resizer = sws_getCachedContext(d.resizer, width, height, scalerFormat, outputSize.width(),
                                         outputSize.height(), scalerFormat,
                                         resizeFilter(width, outputSize.width()), nullptr, nullptr, nullptr);
        if (!d.resized || d.resized->width != outputSize.width() || d.resized->height != outputSize.height()
            || d.resized->format != scalerFormat) {
            av_frame_free(&d.resized);
            d.resized = av_frame_alloc();
            if (d.resized) {
                d.resized->width = outputSize.width();
                d.resized->height = outputSize.height();
                d.resized->format = scalerFormat;
                if (av_frame_get_buffer(d.resized, 0) < 0)
                    av_frame_free(&d.resized);
            }
        }
        if (!d.resizer || !d.resized) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_stats.droppedFrames;
            return;
        }
        sws_scale(d.resizer, picture->data, picture->linesize, 0, height, d.resized->data, d.resized->linesize);
        planes = d.resized->data;
        strides = d.resized->linesize;
        convertWidth = outputSize.width();
        convertHeight = outputSize.height();
    }

    // Other pixel formats: resized and converted together; the fast
    // bilinear filter is enough for a live preview.
    SwsContext *scaler = sws_getCachedContext(d.scaler, convertWidth, convertHeight, scalerFormat,
                                              outputSize.width(), outputSize.height(),
                                              AV_PIX_FMT_RGB32, SWS_FAST_BILINEAR, nullptr, nullptr,
                                              nullptr);
    // A context that could not be reused is freed by now, even when no new
    // one could be made: never keep the old pointer.
    d.scaler = scaler;
    if (!scaler) {
        d.scalerSetting = {};
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_stats.droppedFrames;
        return;
    }
    // A context made anew (perhaps at the old one's address) converts with
    // swscale's default colours until told the picture's.
    const ScalerSetting setting{convertWidth,
                                convertHeight,
                                int(scalerFormat),
                                outputSize.width(),
                                outputSize.height(),
                                picture->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT,
                                fullRange || picture->color_range == AVCOL_RANGE_JPEG};
    if (!(setting == d.scalerSetting)) {
        sws_setColorspaceDetails(scaler, sws_getCoefficients(setting.colourspace), setting.fullRange,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        d.scalerSetting = setting;
    }

    // Reuse a picture buffer nobody else holds any more (the viewer has moved
    // on from it): a fresh 8 MB image per 1080p picture costs page faults.
    QImage *target = nullptr;
    for (QImage &buffer : d.buffers) {
        if (!buffer.isNull() && buffer.size() == outputSize && buffer.isDetached()) {
            // isDetached() reads the count relaxed: order the owner's last
            // reads of the pixels before our writes.
            std::atomic_thread_fence(std::memory_order_acquire);
            target = &buffer;
            break;
        }
    }
    if (!target) {
        target = &d.buffers[d.nextBuffer];
        d.nextBuffer = (d.nextBuffer + 1) % d.buffers.size();
        *target = scalerTarget(outputSize);
        if (target->isNull()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_stats.droppedFrames;
            return;
        }
    }
    // Written while this is the only reference, so bits() does not copy.
    uint8_t *destination[4] = {target->bits(), nullptr, nullptr, nullptr};
    int destinationStride[4] = {int(target->bytesPerLine()), 0, 0, 0};
    sws_scale(scaler, planes, strides, 0, convertHeight, destination, destinationStride);
    QImage image = *target;

    const bool first = !d.gotPictures;
    d.gotPictures = true;
    ++d.windowPictures;
    bool notify = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_latestPending)
            ++m_stats.droppedFrames; // the owner did not take the previous one in time
        const qint64 sequence = m_latest.sequence + 1;
        m_latest = VideoFrame{std::move(image), QSize(width, height), d.codecName, motionLevel, sequence};
        notify = !m_latestPending;
        m_latestPending = true;
    }
    if (first)
        post([this] { emit firstFrame(); });
    if (notify)
        post([this] { deliverLatest(); });
}

void VideoReceiver::deliverLatest()
{
    VideoFrame frame;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_latestPending)
            return;
        frame = m_latest;
        m_latestPending = false;
    }
    emit frameReady(frame);
}

} // namespace qzr::video
