#pragma once
// The first decoded picture of many cameras' streams, for the commissioning
// report: up to a number of streams at once, each received by a
// VideoReceiver (FFmpeg on a thread of its own) and given up after a time
// limit. Runs a Qt event loop on the calling thread while it waits, so the
// process needs a QCoreApplication.
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>

namespace qzr::site {

// One stream: its address (without user information) and the credentials
// the video source puts into the address it hands FFmpeg, and never shows.
struct PictureSource
{
    QString url;
    QString user;
    QString password;
    QSize outputSize; // decoded at this size; empty: the stream's own
};

// Called on the calling thread as each stream is done with: its first
// picture, or an empty image and why there is none.
using PictureDone = std::function<void(int index, const QImage &picture, const QString &error)>;

// Asked a few times a second whether to stop: then no further stream is
// opened, and those being received end without their picture.
using PictureStop = std::function<bool()>;

// Receives each source until its first picture, an error, the end of its
// stream or `limitMs`, at most `parallel` at once (the lower index first),
// and calls done once for each. Returns when every source is done with.
void grabFirstPictures(const QList<PictureSource> &sources, int parallel, int limitMs, const PictureDone &done,
                       const PictureStop &stop = {});

} // namespace qzr::site
