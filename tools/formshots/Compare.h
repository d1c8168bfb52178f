#pragma once
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

namespace qzr::formshots {

// How two pictures differ, pixel by pixel.
struct PictureDifference
{
    bool sizesDiffer = false;
    QSize sizeA, sizeB;
    qint64 pixels = 0;      // pixels whose colour differs (of the common area)
    QPoint first{-1, -1};   // the first of them, row by row
    QImage mask;            // the differing pixels in red on the first picture, faded

    bool same() const { return !sizesDiffer && pixels == 0; }
    // "same", "differs: N pixels, first at x,y" or "differs: size WxH against WxH"
    QString verdict() const;
};

PictureDifference comparePictures(const QImage &a, const QImage &b);

// Compares the PNG files of the same name in two folders and prints one line
// per picture ("NAME: same", "NAME: differs: ...", "NAME: missing in DIR").
// Returns true only when every picture is in both and the same (and there is
// at least one).
bool compareFolders(const QString &folderA, const QString &folderB, QStringList *lines);

} // namespace qzr::formshots
