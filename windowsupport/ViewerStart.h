#pragma once
#include <QSize>
#include <QString>

class QWidget;
class TLiveViewer;

namespace qzr {

// Makes a viewer control for a viewer window: a child at the given place,
// hidden until a view starts in it.
TLiveViewer *createViewer(QWidget *window, const char *name, int x, int y, int width, int height);

// The start sequence of every live view: overlays off, address, password,
// channel; then the control visible at its display size (height, width),
// DispHeight, DispWidth. StartLive follows separately.
void configureViewer(TLiveViewer *viewer, const QString &ip, const QString &password, const QString &channel);
void sizeViewer(TLiveViewer *viewer, QSize size);
void startLive(TLiveViewer *viewer);

// Viewer windows made anew for each view are kept with the window set and
// closed with it.
void keepWithWindowSet(QWidget *window);

} // namespace qzr
