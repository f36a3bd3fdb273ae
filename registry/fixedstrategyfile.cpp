#include "fixedstrategyfile.h"

#include "facade/strategylogic_global.h"

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

QList<FixedStrategyInfo> FixedStrategyFile::parse(const QByteArray &content)
{
    QList<FixedStrategyInfo> records;
    const QString text = QString::fromUtf8(content);
    const QStringView all(text);
    const QLatin1String sep(Separator);
    const bool logging = lcStrategyLogic().isDebugEnabled();

    qsizetype lineStart = 0;
    while (lineStart <= all.size()) {
        qsizetype lineEnd = all.indexOf(QLatin1Char('\n'), lineStart);
        if (lineEnd < 0)
            lineEnd = all.size();
        const QStringView line = all.mid(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

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
            continue;

        FixedStrategyInfo info;
        info.id = parts[0].toInt();
        info.name = parts[1].toString();
        info.filePath = parts[2].toString();
        info.group = parts[3].toString();
        info.extraInfo = parts[4].toString();
        info.copyIndex = parts[5].toInt();
        if (logging)
            SL_DEBUG << "FixedStrategyFile::parse" << info.id << info.name << info.filePath << info.group
                     << info.extraInfo << info.copyIndex;
        records.append(info);
    }
    return records;
}

bool FixedStrategyFile::canHold(const QString &value)
{
    return !value.contains(QLatin1String(Separator)) && !value.contains(QLatin1Char('\n'))
           && !value.contains(QLatin1Char('\r'));
}

bool FixedStrategyFile::canHold(const FixedStrategyInfo &info)
{
    return canHold(info.name) && canHold(info.filePath) && canHold(info.group) && canHold(info.extraInfo);
}
