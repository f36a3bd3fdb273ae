#ifndef STRATEGYLOGIC_WHOLEFILE_H
#define STRATEGYLOGIC_WHOLEFILE_H

#include <StrategyLogic/strategylogic_global.h>

#include <QByteArray>
#include <QString>

/// \file
/// Replacing a file whole, as the plug-in writes its own files.

namespace StrategyLogic {

/// Replaces the file at `path` with `content`, whole or not at all: the
/// bytes go to a temporary file beside it, which is renamed over the old
/// file once every byte is written, so that a reader or a process killed at
/// any moment finds the old file or the new one, never a part. Creates the
/// file's folder when it is missing. False, with the reason in `error` (when
/// given), when the old file (or none) stays: no access, a full disk, a file
/// size limit, ... Thread-safe for different paths.
STRATEGYLOGIC_EXPORT bool writeWholeFile(const QString &path, const QByteArray &content, QString *error = nullptr);

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_WHOLEFILE_H
