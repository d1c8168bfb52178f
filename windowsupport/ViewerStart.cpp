#include "windowsupport/ViewerStart.h"

#include "windowsupport/ViewerAccess.h"
#include "windowsupport/TLiveViewer.h"

namespace qzr {

TLiveViewer *createViewer(QWidget *window, const char *name, int x, int y, int width, int height)
{
    auto *viewer = new TLiveViewer(window);
    viewer->setObjectName(QString::fromLatin1(name));
    viewer->setGeometry(x, y, width, height);
    viewer->hide();
    return viewer;
}

void configureViewer(QWidget *viewer, const QString &ip, const QString &password, const QString &channel)
{
    const QPointer<QWidget> target(viewer);
    for (const char *overlay : {"DispTitle", "DispPosTitle", "DispTimeCode", "DispMotion"})
        writeViewer(target, overlay, 0);
    writeViewer(target, "IP", ip);
    writeViewer(target, "OpPassword", password);
    writeViewer(target, "Channel", channel);
}

void sizeViewer(QWidget *viewer, QSize size)
{
    if (!viewer)
        return;
    viewer->show();
    viewer->resize(viewer->width(), size.height());
    viewer->resize(size.width(), size.height());
    writeViewer(viewer, "DispHeight", size.height());
    writeViewer(viewer, "DispWidth", size.width());
}

void startLive(QWidget *viewer)
{
    if (auto *live = qobject_cast<TLiveViewer *>(viewer))
        live->StartLive();
}

} // namespace qzr
