#ifndef REFUSALS_H
#define REFUSALS_H

#include <StrategyLogic/strategyrefusal.h>

#include <QString>

// The last refusal of each thread (StrategyLogic::lastRefusal()), set by
// the plug-in object's changing methods: clear() when one starts, refuse()
// when it refuses. Thread: any; each thread has its own.
namespace Refusals {

void clear();
// Keeps the refusal and logs one warning "<function> refused: <reason>".
void refuse(const char *function, StrategyLogic::RefusalCode code, const QString &reason, const QString &message);
// Keeps the refusal without a log line, for a caller that logged its cause
// already (a line other programs watch for, whose text stays as it is).
void note(const char *function, StrategyLogic::RefusalCode code, const QString &reason, const QString &message);

// The user's messages of the causes that have no message of their own.
QString notInitialisedMessage();
QString notStorableMessage();
QString notWritableMessage();
QString noSuchGroupMessage(const QString &group);
QString nameTakenMessage(const QString &name);
QString idRefusedMessage();
QString notFoundMessage();

} // namespace Refusals

#endif // REFUSALS_H
