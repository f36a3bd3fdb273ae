#ifndef UNSAVEDWATCH_H
#define UNSAVEDWATCH_H

#include <QStringList>

// Notes the plug-in's and the host's reports that something could not be
// stored (log category "strategylogic.unsaved", the host settings'
// "zq.core" warnings, and the id sequence's "zq.idservice" warnings: a
// sequence that cannot be read or written gives no new id), so that
// strategyctl never answers "ok" for a change that did not reach its file,
// and reports it as the data that could not be reached (status 3). Messages still reach the usual handler.
// Those reports stay enabled whatever the logging rules say.
class UnsavedWatch
{
public:
    static void install();
    // A mark to pass to since().
    static int mark();
    // The reports logged after the mark, oldest first.
    static QStringList since(int mark);
};

#endif // UNSAVEDWATCH_H
