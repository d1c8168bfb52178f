#include "Compare.h"

#include <QDir>
#include <QPainter>

#include <algorithm>

namespace qzr::formshots {

QString PictureDifference::verdict() const
{
    if (sizesDiffer)
        return QStringLiteral("differs: size %1x%2 against %3x%4")
            .arg(sizeA.width())
            .arg(sizeA.height())
            .arg(sizeB.width())
            .arg(sizeB.height());
    if (pixels == 0)
        return QStringLiteral("same");
    return QStringLiteral("differs: %1 pixels, first at %2,%3").arg(pixels).arg(first.x()).arg(first.y());
}

PictureDifference comparePictures(const QImage &a, const QImage &b)
{
    PictureDifference result;
    const QImage left = a.convertToFormat(QImage::Format_ARGB32);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32);
    result.sizeA = left.size();
    result.sizeB = right.size();
    result.sizesDiffer = left.size() != right.size();

    // The first picture, faded, with every differing pixel in red.
    result.mask = left.copy();
    {
        QPainter fade(&result.mask);
        fade.fillRect(result.mask.rect(), QColor(255, 255, 255, 190));
    }
    const int width = std::min(left.width(), right.width());
    const int height = std::min(left.height(), right.height());
    for (int y = 0; y < height; ++y) {
        const auto *rowA = reinterpret_cast<const QRgb *>(left.constScanLine(y));
        const auto *rowB = reinterpret_cast<const QRgb *>(right.constScanLine(y));
        auto *marks = reinterpret_cast<QRgb *>(result.mask.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (rowA[x] == rowB[x])
                continue;
            if (result.pixels == 0)
                result.first = QPoint(x, y);
            ++result.pixels;
            marks[x] = qRgb(255, 0, 0);
        }
    }
    return result;
}

bool compareFolders(const QString &folderA, const QString &folderB, QStringList *lines)
{
    const QStringList filters{QStringLiteral("*.png")};
    const QStringList inA = QDir(folderA).entryList(filters, QDir::Files, QDir::Name);
    const QStringList inB = QDir(folderB).entryList(filters, QDir::Files, QDir::Name);
    QStringList names = inA + inB;
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());

    bool allSame = !names.isEmpty();
    if (names.isEmpty())
        *lines << QStringLiteral("no pictures in %1 or %2").arg(folderA, folderB);
    for (const QString &file : names) {
        const QString name = file.chopped(4);
        if (!inA.contains(file)) {
            *lines << QStringLiteral("%1: missing in %2").arg(name, folderA);
            allSame = false;
            continue;
        }
        if (!inB.contains(file)) {
            *lines << QStringLiteral("%1: missing in %2").arg(name, folderB);
            allSame = false;
            continue;
        }
        const QImage a(QDir(folderA).filePath(file));
        const QImage b(QDir(folderB).filePath(file));
        if (a.isNull() || b.isNull()) {
            *lines << QStringLiteral("%1: unreadable in %2").arg(name, a.isNull() ? folderA : folderB);
            allSame = false;
            continue;
        }
        const PictureDifference difference = comparePictures(a, b);
        *lines << QStringLiteral("%1: %2").arg(name, difference.verdict());
        allSame = allSame && difference.same();
    }
    return allSame;
}

} // namespace qzr::formshots
