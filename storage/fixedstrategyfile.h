#ifndef FIXEDSTRATEGYFILE_H
#define FIXEDSTRATEGYFILE_H

#include "storage/installationlayout.h"

#include <StrategyLogic/fixedstrategyinfo.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

// The fixed-strategy data file "SarvekFixStrategy.dat": one record per
// line, six fields joined by ",%&", each line ended by a line feed, UTF-8
// without a byte order mark. Fields are written verbatim, so a text that
// holds the separator, a line feed, a carriage return or a NUL cannot be
// stored.
class FixedStrategyFile
{
public:
    static constexpr const char *FileName = InstallationLayout::DataFile;
    static constexpr const char *Separator = ",%&";

    // "<applicationDir>/work/<userFolder lower-cased>/SarvekFixStrategy.dat".
    static QString path(const QString &applicationDir, const QString &userFolder);

    // The record's line, line feed included.
    static QString formatLine(const FixedStrategyInfo &info);
    static void appendLine(QString &out, const FixedStrategyInfo &info);
    // The same line's UTF-8 bytes, appended: appendLine() and toUtf8() in
    // one pass.
    static void appendLineUtf8(QByteArray &out, const FixedStrategyInfo &info);

    // Lines that were not taken: how many (blank lines aside), and the
    // number (from 1) of the first.
    struct Skipped
    {
        int lines = 0;
        int firstLine = 0;
    };

    // Every line with at least six fields, in file order; the first six
    // fields count. An id or copy index that is not a 32-bit decimal
    // number reads as 0. The content is read to its end, NUL bytes and all;
    // a line that is not UTF-8 text, or holds a NUL, is skipped like a line
    // of too few fields.
    static QList<FixedStrategyInfo> parse(const QByteArray &content, Skipped *skipped = nullptr);
    // The same records in a vector: one block for a large file's records.
    static QVector<FixedStrategyInfo> parseRecords(const QByteArray &content, Skipped *skipped = nullptr);

    // Whether a user folder name names a folder right below work/: not
    // empty, not "." or "..", no "/", "\\" or NUL.
    static bool isValidUserFolder(const QString &userFolder);

    // Whether a text survives a write and a read unchanged.
    static bool canHold(const QString &value);
    static bool canHold(const FixedStrategyInfo &info);
};

#endif // FIXEDSTRATEGYFILE_H
