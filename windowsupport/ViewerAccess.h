#pragma once
#include "windowsupport/TLiveViewer.h"

#include <QPointer>

namespace qzr {

// Writes one setting of a viewer control through its setter
// (writeViewer(viewer, &TLiveViewer::setDispFPS, 25)). A viewer that has been
// released (its window closed or its view stopped) is no target: the write
// is skipped.
template <typename Argument, typename Value>
void writeViewer(const QPointer<TLiveViewer> &viewer, void (TLiveViewer::*setter)(Argument), const Value &value)
{
    if (viewer)
        (viewer.data()->*setter)(value);
}

// The four overlays, switched off before every view and by "overlay off".
inline void switchOverlaysOff(const QPointer<TLiveViewer> &viewer)
{
    for (auto setter : {&TLiveViewer::setDispTitle, &TLiveViewer::setDispPosTitle, &TLiveViewer::setDispTimeCode,
                        &TLiveViewer::setDispMotion})
        writeViewer(viewer, setter, 0);
}

} // namespace qzr
