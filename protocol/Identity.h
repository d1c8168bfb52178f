#pragma once
#include "protocol/ShownText.h"

#include <QString>

// The camera identity and quick lens queries of the main window.
namespace qzr::identity {

inline const QString kModelKey = QStringLiteral("system.model");
inline const QString kRevisionKey = QStringLiteral("system.software.revision");
inline const QString kMacKey = QStringLiteral("network.interface.mac");
inline const QString kSceneStatusKey = QStringLiteral("camera.scene.status");
inline const QString kFocusStatusKey = QStringLiteral("camera.focus.status");
inline const QString kNightFocusKey = QStringLiteral("camera.focus.nightfocus");
inline const QString kFineFocusKey = QStringLiteral("camera.focus.finefocus");

// Other windows compare these captions whole ("Model: QZ-R50"), so nothing
// else may be added to them.
// The camera's values, cut to a length a label shows at once (ShownText.h).
inline QString modelCaption(const QString &model) { return QStringLiteral("Model: ") + shownText(model); }
inline QString firmwareCaption(const QString &revision) { return QStringLiteral("FW ") + shownText(revision); }
inline QString macCaption(const QString &mac) { return QStringLiteral("MAC: ") + shownText(mac); }

} // namespace qzr::identity
