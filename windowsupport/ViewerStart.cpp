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

void configureViewer(TLiveViewer *viewer, const QString &ip, const QString &password, const QString &channel)
{
    const QPointer<TLiveViewer> target(viewer);
    switchOverlaysOff(target);
    writeViewer(target, &TLiveViewer::setIP, ip);
    writeViewer(target, &TLiveViewer::setOpPassword, password);
    writeViewer(target, &TLiveViewer::setChannel, channel);
}

void sizeViewer(TLiveViewer *viewer, QSize size)
{
    if (!viewer)
        return;
    viewer->show();
    viewer->resize(viewer->width(), size.height());
    viewer->resize(size.width(), size.height());
    writeViewer(viewer, &TLiveViewer::setDispHeight, size.height());
    writeViewer(viewer, &TLiveViewer::setDispWidth, size.width());
}

void startLive(TLiveViewer *viewer)
{
    if (viewer)
        viewer->StartLive();
}

} // namespace qzr
