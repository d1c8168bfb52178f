#include "FrameStamp.h"

#include <QDateTime>
#include <QImage>

#include <cstring>

namespace qzr::sim {

namespace {

constexpr quint64 kSync = 0xB2;
constexpr int kDataBits = 40;
constexpr uchar kLumaBlack = 16;
constexpr uchar kLumaWhite = 235;
constexpr uchar kChromaNeutral = 128;
constexpr QRgb kRgbBlack = 0xff000000;
constexpr QRgb kRgbWhite = 0xffffffff;

quint16 crc16(quint64 data)
{
    quint16 crc = 0xFFFF;
    for (int byte = 4; byte >= 0; --byte) {
        crc ^= quint16(((data >> (8 * byte)) & 0xFF) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

bool bitOf(quint64 word, int index)
{
    return (word >> (kFrameStampBits - 1 - index)) & 1;
}

bool fits(int width, int height, int block)
{
    return block > 0 && width >= kFrameStampColumns * block && height >= kFrameStampRows * block;
}

// Calls fill(x, y, size, white) for each block.
template <typename Fill>
void forEachBlock(quint64 word, int block, Fill fill)
{
    for (int i = 0; i < kFrameStampBits; ++i)
        fill((i % kFrameStampColumns) * block, (i / kFrameStampColumns) * block, bitOf(word, i));
}

} // namespace

int frameStampBlockSize(int frameHeight)
{
    return qMax(8, (frameHeight / 135) * 2);
}

quint64 frameStampNow()
{
    return quint64(QDateTime::currentMSecsSinceEpoch()) % kFrameStampModulo;
}

quint64 frameStampWord(quint64 milliseconds)
{
    const quint64 data = milliseconds % kFrameStampModulo;
    return (kSync << 56) | (data << 16) | crc16(data);
}

void encodeFrameStampI420(uchar *y, int yStride, uchar *u, int uStride, uchar *v, int vStride,
                          int width, int height, quint64 milliseconds)
{
    const int block = frameStampBlockSize(height);
    if (!fits(width, height, block))
        return;
    forEachBlock(frameStampWord(milliseconds), block, [&](int x, int top, bool white) {
        const uchar luma = white ? kLumaWhite : kLumaBlack;
        for (int row = top; row < top + block; ++row)
            std::memset(y + qsizetype(row) * yStride + x, luma, size_t(block));
        for (int row = top / 2; row < (top + block) / 2; ++row) {
            std::memset(u + qsizetype(row) * uStride + x / 2, kChromaNeutral, size_t(block / 2));
            std::memset(v + qsizetype(row) * vStride + x / 2, kChromaNeutral, size_t(block / 2));
        }
    });
}

void encodeFrameStamp(QImage &image, quint64 milliseconds)
{
    if (image.depth() != 32)
        return;
    const int block = frameStampBlockSize(image.height());
    if (!fits(image.width(), image.height(), block))
        return;
    forEachBlock(frameStampWord(milliseconds), block, [&](int x, int top, bool white) {
        for (int row = top; row < top + block; ++row) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
            std::fill(line + x, line + x + block, white ? kRgbWhite : kRgbBlack);
        }
    });
}

std::optional<quint64> decodeFrameStampRgb32(const uchar *pixels, int width, int height,
                                             int bytesPerLine, int blockSize)
{
    const int block = blockSize > 0 ? blockSize : frameStampBlockSize(height);
    if (!pixels || !fits(width, height, block))
        return std::nullopt;
    // Average the luma of the inner half of each block, away from the edges
    // the encoder smears.
    const int inset = block / 4;
    const int inner = qMax(1, block - 2 * inset);
    quint64 word = 0;
    for (int i = 0; i < kFrameStampBits; ++i) {
        const int x0 = (i % kFrameStampColumns) * block + inset;
        const int y0 = (i / kFrameStampColumns) * block + inset;
        qint64 sum = 0;
        for (int row = y0; row < y0 + inner; ++row) {
            const auto *line = reinterpret_cast<const QRgb *>(pixels + qsizetype(row) * bytesPerLine);
            for (int x = x0; x < x0 + inner; ++x)
                sum += qGray(line[x]);
        }
        const bool white = sum / (inner * inner) >= 128;
        word = (word << 1) | (white ? 1 : 0);
    }
    const quint64 data = (word >> 16) & (kFrameStampModulo - 1);
    if ((word >> 56) != kSync || quint16(word & 0xFFFF) != crc16(data))
        return std::nullopt;
    return data;
}

std::optional<quint64> decodeFrameStamp(const QImage &image, int blockSize)
{
    if (image.isNull())
        return std::nullopt;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        return decodeFrameStamp(image.convertToFormat(QImage::Format_RGB32), blockSize);
    return decodeFrameStampRgb32(image.constBits(), image.width(), image.height(),
                                 int(image.bytesPerLine()), blockSize);
}

qint64 frameStampAgeMs(quint64 stamp, quint64 nowMs)
{
    const quint64 diff = (nowMs - stamp) % kFrameStampModulo;
    return diff > kFrameStampModulo / 2 ? qint64(diff) - qint64(kFrameStampModulo) : qint64(diff);
}

} // namespace qzr::sim
