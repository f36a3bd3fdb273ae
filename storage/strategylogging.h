#ifndef STRATEGYLOGGING_H
#define STRATEGYLOGGING_H

#include <QLoggingCategory>

// Diagnostics of the plug-in. "strategylogic" logs from info level on by
// default; QT_LOGGING_RULES="strategylogic.debug=true" brings the traces.
Q_DECLARE_LOGGING_CATEGORY(lcStrategyLogic)
// Warnings that a change the caller was answered for (or that was kept in
// memory) could not be written to its file or table: a host watches this
// category to learn that something was not stored.
Q_DECLARE_LOGGING_CATEGORY(lcStrategyLogicUnsaved)

#define SL_DEBUG qCDebug(lcStrategyLogic).noquote()
#define SL_INFO qCInfo(lcStrategyLogic).noquote()
#define SL_WARNING qCWarning(lcStrategyLogic).noquote()
#define SL_CRITICAL qCCritical(lcStrategyLogic).noquote()
#define SL_UNSAVED qCWarning(lcStrategyLogicUnsaved).noquote()
#define SL_UNSAVED_CRITICAL qCCritical(lcStrategyLogicUnsaved).noquote()

#endif // STRATEGYLOGGING_H
