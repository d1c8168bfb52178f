#pragma once

// Frame stamp: the simulator's capture time drawn into every video frame as a
// strip of 64 black/white blocks, so that a client can read it back from the
// decoded pixels and measure capture-to-display latency.
//
// Layout: 2 rows of 32 square blocks at the top-left corner of the frame;
// block i (0..63) lies in row i / 32, column i % 32 and shows bit 63 - i of
// the stamp word (white = 1). Word = 8 sync bits (0xB2), 40 bits of wall-clock
// milliseconds since the epoch modulo 2^40, 16 check bits (CRC-16/CCITT-FALSE
// of the 5 time bytes, big-endian). The block size in pixels follows the frame
// height (frameStampBlockSize: 16 px at 1080 lines, never below 8 px).
//
// The decoder needs the block size the picture shows: by default it derives
// it from the image height, which is right for a picture at its encoded size;
// pass blockSize when the picture was scaled.

#include <QtGlobal>

#include <optional>

class QImage;

namespace qzr::sim {

inline constexpr int kFrameStampBits = 64;
inline constexpr int kFrameStampColumns = 32;
inline constexpr int kFrameStampRows = 2;
inline constexpr quint64 kFrameStampModulo = quint64(1) << 40;

// Block edge in pixels for a frame of this height (even, at least 8).
int frameStampBlockSize(int frameHeight);

// Wall-clock milliseconds since the epoch modulo 2^40.
quint64 frameStampNow();

// The 64-bit word drawn for this time (time taken modulo 2^40).
quint64 frameStampWord(quint64 milliseconds);

// Draws the stamp into an I420 picture (Y 16 / 235, neutral chroma).
void encodeFrameStampI420(uchar *y, int yStride, uchar *u, int uStride, uchar *v, int vStride,
                          int width, int height, quint64 milliseconds);

// Draws the stamp into a 32-bit picture (QImage::Format_RGB32 or ARGB32).
void encodeFrameStamp(QImage &image, quint64 milliseconds);

// Reads the stamp from 32-bit pixels laid out as QImage::Format_RGB32
// (AV_PIX_FMT_RGB32 / BGRA in memory on little-endian). nullopt when no valid
// stamp is found (sync or check bits wrong, picture too small).
std::optional<quint64> decodeFrameStampRgb32(const uchar *pixels, int width, int height,
                                             int bytesPerLine, int blockSize = 0);
std::optional<quint64> decodeFrameStamp(const QImage &image, int blockSize = 0);

// Age of a stamp at nowMs (both modulo 2^40), wrap-around handled; negative if
// the stamp lies in the future.
qint64 frameStampAgeMs(quint64 stamp, quint64 nowMs);

} // namespace qzr::sim
