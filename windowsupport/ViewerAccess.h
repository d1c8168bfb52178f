#pragma once
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace qzr {

// Writes one property of a viewer control by its name. A viewer that has
// been released (its window closed or its view stopped) is no target: the
// write is skipped.
inline void writeViewer(const QPointer<QWidget> &viewer, const char *property, const QVariant &value)
{
    if (viewer)
        viewer->setProperty(property, value);
}

} // namespace qzr
