#include "fixedstrategyfile.h"

#include "storage/strategylogging.h"
#include "storage/utf8text.h"

QString FixedStrategyFile::path(const QString &applicationDir, const QString &userFolder)
{
    // The loader names the folder by the lower-cased user id, the writers by
    // the login account: lower-casing both lets them meet on a
    // case-sensitive file system, as they do on the client's.
    return applicationDir + QLatin1String("/work/") + userFolder.toLower() + QLatin1Char('/')
           + QLatin1String(FileName);
}

QString FixedStrategyFile::formatLine(const FixedStrategyInfo &info)
{
    QString line;
    appendLine(line, info);
    return line;
}

void FixedStrategyFile::appendLine(QString &out, const FixedStrategyInfo &info)
{
    const QLatin1String sep(Separator);
    out += QString::number(info.id) + sep + info.name + sep + info.filePath + sep + info.group + sep + info.extraInfo
           + sep + QString::number(info.copyIndex) + QLatin1Char('\n');
}

namespace {
// Parses one decoded line into `info`; false for a line of fewer than six
// fields.
bool parseLine(QStringView line, FixedStrategyInfo *info)
{
    const QLatin1String sep(FixedStrategyFile::Separator);
    QStringView parts[6];
    int found = 0;
    qsizetype from = 0;
    while (found < 6) {
        const qsizetype at = line.indexOf(sep, from);
        if (at < 0) {
            parts[found++] = line.mid(from);
            break;
        }
        parts[found++] = line.mid(from, at - from);
        from = at + sep.size();
    }
    if (found < 6)
        return false;
    info->id = parts[0].toInt();
    info->name = parts[1].toString();
    info->filePath = parts[2].toString();
    info->group = parts[3].toString();
    info->extraInfo = parts[4].toString();
    info->copyIndex = parts[5].toInt();
    return true;
}
} // namespace

QList<FixedStrategyInfo> FixedStrategyFile::parse(const QByteArray &content, Skipped *skipped)
{
    QList<FixedStrategyInfo> records;
    const bool logging = lcStrategyLogic().isDebugEnabled();
    int skippedLines = 0;
    int firstSkipped = 0;
    auto take = [&](QStringView line, int number) {
        FixedStrategyInfo info;
        if (!parseLine(line, &info)) {
            if (!line.isEmpty() && skippedLines++ == 0)
                firstSkipped = number;
            return;
        }
        if (logging)
            SL_DEBUG << "FixedStrategyFile::parse" << info.id << info.name << info.filePath << info.group
                     << info.extraInfo << info.copyIndex;
        records.append(info);
    };

    // A byte order mark before the first line is tolerated, as an editor
    // may add one; anywhere else it is a character of its line.
    const int start = content.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    // Decoded by the whole length: a NUL byte ends nothing.
    bool isText = false;
    const QString text = Utf8Text::decode(content.constData() + start, content.size() - start, &isText);
    if (isText && !content.contains('\0')) {
        const QStringView all(text);
        int number = 1;
        for (qsizetype lineStart = 0; lineStart <= all.size(); ++number) {
            qsizetype lineEnd = all.indexOf(QLatin1Char('\n'), lineStart);
            if (lineEnd < 0)
                lineEnd = all.size();
            take(all.mid(lineStart, lineEnd - lineStart), number);
            lineStart = lineEnd + 1;
        }
    } else {
        // Some bytes are not UTF-8 text: each line on its own, and a line
        // that is not text is skipped rather than changed.
        const QList<QByteArray> lines = content.mid(start).split('\n');
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray &bytes = lines.at(i);
            bool lineIsText = false;
            const QString line = Utf8Text::decode(bytes.constData(), bytes.size(), &lineIsText);
            if (!lineIsText || bytes.contains('\0')) {
                if (skippedLines++ == 0)
                    firstSkipped = i + 1;
                continue;
            }
            take(line, i + 1);
        }
    }
    if (skipped)
        *skipped = Skipped{skippedLines, firstSkipped};
    return records;
}

bool FixedStrategyFile::isValidUserFolder(const QString &userFolder)
{
    return !userFolder.isEmpty() && userFolder != QLatin1String(".") && userFolder != QLatin1String("..")
           && !userFolder.contains(QLatin1Char('/')) && !userFolder.contains(QLatin1Char('\\'))
           && !userFolder.contains(QChar(0));
}

bool FixedStrategyFile::canHold(const QString &value)
{
    return !value.contains(QLatin1String(Separator)) && !value.contains(QLatin1Char('\n'))
           && !value.contains(QLatin1Char('\r')) && !value.contains(QChar(0));
}

bool FixedStrategyFile::canHold(const FixedStrategyInfo &info)
{
    return canHold(info.name) && canHold(info.filePath) && canHold(info.group) && canHold(info.extraInfo);
}
