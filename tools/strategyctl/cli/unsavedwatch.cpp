#include "unsavedwatch.h"

#include <QLoggingCategory>
#include <QMutex>

#include <cstdio>

namespace {
QMutex s_mutex;
QStringList s_reports;
QtMessageHandler s_previousHandler = nullptr;
QLoggingCategory::CategoryFilter s_previousFilter = nullptr;

bool watched(const char *category)
{
    return qstrcmp(category, "strategylogic.unsaved") == 0 || qstrcmp(category, "zq.core") == 0
           || qstrcmp(category, "zq.idservice") == 0;
}

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if ((type == QtWarningMsg || type == QtCriticalMsg) && context.category && watched(context.category)) {
        QMutexLocker locker(&s_mutex);
        s_reports.append(message);
    }
    if (s_previousHandler)
        s_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

void filter(QLoggingCategory *category)
{
    if (s_previousFilter)
        s_previousFilter(category);
    if (watched(category->categoryName())) {
        category->setEnabled(QtWarningMsg, true);
        category->setEnabled(QtCriticalMsg, true);
    }
}
} // namespace

void UnsavedWatch::install()
{
    s_previousHandler = qInstallMessageHandler(handler);
    s_previousFilter = QLoggingCategory::installFilter(filter);
}

int UnsavedWatch::mark()
{
    QMutexLocker locker(&s_mutex);
    return s_reports.size();
}

QStringList UnsavedWatch::since(int mark)
{
    QMutexLocker locker(&s_mutex);
    return s_reports.mid(mark);
}
