#pragma once
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
inline QString modelCaption(const QString &model) { return QStringLiteral("Model: ") + model; }
inline QString firmwareCaption(const QString &revision) { return QStringLiteral("FW ") + revision; }
inline QString macCaption(const QString &mac) { return QStringLiteral("MAC: ") + mac; }

} // namespace qzr::identity
