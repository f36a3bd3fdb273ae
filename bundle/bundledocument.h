#ifndef BUNDLEDOCUMENT_H
#define BUNDLEDOCUMENT_H

#include <StrategyLogic/backtestcashinfo.h>
#include <StrategyLogic/fixedstrategyinfo.h>
#include <StrategyLogic/instanceinfo.h>
#include <StrategyLogic/sarvekgroupinfo.h>
#include <StrategyLogic/strategybundle.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A bundle's records as an import applies them, read from the document's
// text and checked whole (docs/bundle.md lists every check). The members
// the import does not apply (exportedAt, user, runMode) are checked but not
// kept. Thread: any.
struct BundleDocument
{
    // The document's own "format" and "version".
    static const QString Format;
    static constexpr int Version = 1;
    // Far above any real bundle (some hundred bytes a record); a larger
    // text is refused.
    static constexpr qint64 MaxBytes = 64 * 1024 * 1024;
    // Local times, with milliseconds when they are not 0.
    static const QString TimeFormat;
    static const QString TimeFormatMs;

    QList<FixedStrategyInfo> strategies; // ids as the bundle gives them
    QList<SarvekGroupInfo> groups;       // createTime -1 for null
    QStringList locks;
    QList<InstanceInfo> instances;
    QList<BackTestCashInfo> days;
    QString lastProduct;
    QString lastFundAccount;
    QString pythonPath;

    // Reads the document from its UTF-8 bytes (one byte order mark may
    // lead), checking all of it; every problem goes to `problems`, in the
    // order of the document. The records are only meaningful when there is
    // none.
    static BundleDocument read(const QByteArray &bytes, QList<StrategyLogic::BundleProblem> *problems);
};

#endif // BUNDLEDOCUMENT_H
