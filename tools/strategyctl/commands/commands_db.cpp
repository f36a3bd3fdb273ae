// A read-only look into the local database, to see what the plug-in wrote.

#include "commands.h"
#include "commandtable.h"

#include <StrategyLogic/strategydatabase.h>

#include <zqapplicationdir.h>

namespace {
// A value as it is stored: numbers as numbers, NULL as null. An integer
// beyond what a JSON number holds exactly stays a text.
QJsonValue jsonOf(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::UnknownType: return QJsonValue(QJsonValue::Null);
    case QMetaType::LongLong: {
        const qint64 n = value.toLongLong();
        return (n > (qint64(1) << 53) || n < -(qint64(1) << 53)) ? QJsonValue(QString::number(n))
                                                                 : QJsonValue(double(n));
    }
    case QMetaType::Double: return value.toDouble();
    case QMetaType::QByteArray: return QString::fromUtf8(value.toByteArray());
    default: return value.toString();
    }
}

int dump(CommandContext &c)
{
    const QString table = c.args.at(0);
    const StrategyLogic::DatabaseTable read = StrategyLogic::readDatabaseTable(ZqApplicationDir::path(), table);
    switch (read.outcome) {
    case StrategyLogic::DatabaseTable::CannotOpen: return c.unavailable(QStringLiteral("io"), read.error);
    case StrategyLogic::DatabaseTable::Busy:
        return c.unavailable(QStringLiteral("busy"), QStringLiteral("cannot read %1: %2").arg(table, read.error));
    case StrategyLogic::DatabaseTable::NotRead:
        return c.notFound(QStringLiteral("cannot read %1: %2").arg(table, read.error));
    case StrategyLogic::DatabaseTable::Read: break;
    }
    QList<QJsonObject> rows;
    for (const QVariantList &values : read.rows) {
        QJsonObject row;
        for (int i = 0; i < read.columns.size(); ++i)
            row.insert(read.columns.at(i), jsonOf(values.value(i)));
        rows.append(row);
    }
    c.out.printRecords(read.columns, rows);
    return CommandContext::Success;
}
} // namespace

void registerDbCommands(CommandTable &table)
{
    table.add(QStringLiteral("db"),
              QStringLiteral("TABLE:strategyfileinfo|instance_info|backtest_daycash|fixedstrategyinfo"),
              QStringLiteral("Shows the rows of a table of sarvek.db as they are on disk."), dump)
        .db = DbAccess::Reads;
}
