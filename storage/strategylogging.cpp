#include "strategylogging.h"

// Quiet in a client's console: the traces are for whoever asks for them.
Q_LOGGING_CATEGORY(lcStrategyLogic, "strategylogic", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStrategyLogicUnsaved, "strategylogic.unsaved")
