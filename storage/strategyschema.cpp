#include "strategyschema.h"

#include <zqmemsqlitemgr.h>

const QVector<StrategySchema::Table> &StrategySchema::tables()
{
    // The texts, blanks included, are those of every earlier version.
    static const QVector<Table> list = {
        {FileLocksTable,
         "create table  if not exists strategyfileinfo( file_path varchar(120)  primary key)",
         "Table created!",
         "Error: Fail to create table strategyfileinfo.",
         {{"file_path"}},
         {"file_path"}},
        {InstancesTable,
         "create table  if not exists instance_info( instance_id varchar(120)  primary key ,  "
         "run_mode varchar(4), fund_account varchar(255), return_reginfo varchar(255), "
         "create_date varchar(255),start_time varchar(255),end_time varchar(255))",
         "Table created!",
         "Error: Fail to create table instance_info.",
         {{"instance_id"},
          {"run_mode"},
          {"fund_account", "alter table instance_info add column fund_account VARCHAR(255)",
           "fund_account column added!", "fund_account column added failed!"},
          {"return_reginfo", "alter table instance_info add column return_reginfo VARCHAR(255)",
           "return_reginfo column added!", "return_reginfo column added failed!"},
          {"create_date", "alter table instance_info add column create_date VARCHAR(255)",
           "create_date column added!", "create_date column added failed!"},
          {"start_time", "alter table instance_info add column start_time VARCHAR(255)"},
          {"end_time", "alter table instance_info add column end_time VARCHAR(255)"}},
         {"instance_id"}},
        {DayCashTable,
         "create table  if not exists backtest_daycash( instance_id varchar(120)   ,  date varchar(255), "
         "fund_account varchar(255), initial_funds varchar(255), end_funds varchar(255), "
         "create_date varchar(255), primary key(instance_id, date) )",
         "backtest_daycash Table created!",
         "Error: Fail to create table backtest_daycash.",
         {{"instance_id"}, {"date"}, {"fund_account"}, {"initial_funds"}, {"end_funds"}, {"create_date"}},
         {"instance_id", "date"}},
    };
    return list;
}

bool StrategySchema::columnsOf(ZqMemSqliteMgr &db, const char *table, QStringList *names)
{
    int err = 0;
    const QByteArray sql = QByteArray("PRAGMA table_info(") + table + ')';
    CppSQLite3Query query = db.execQuery(sql.constData(), err);
    if (err != 0)
        return false;
    const int nameColumn = query.fieldIndex("name");
    for (; !query.eof() && nameColumn >= 0; query.nextRow())
        names->append(QString::fromUtf8(query.fieldValue(nameColumn)).toLower());
    return true;
}

const StrategySchema::Table *StrategySchema::table(const char *name)
{
    for (const Table &table : tables()) {
        if (qstrcmp(table.name, name) == 0)
            return &table;
    }
    return nullptr;
}

StrategySchema::TableState StrategySchema::stateOf(ZqMemSqliteMgr &db, const Table &table)
{
    TableState state;
    // SQLite compares the names of tables, views and indexes regardless of
    // case, and they share one name space.
    int err = 0;
    const QByteArray sql = QByteArray("select type from sqlite_master where lower(name)='") + table.name
                           + "' and type in ('table','view','index')";
    CppSQLite3Query query = db.execQuery(sql.constData(), err);
    if (err != 0)
        return state;
    if (query.eof()) {
        state.kind = TableState::Missing;
        return state;
    }
    const QString type = QString::fromUtf8(query.fieldValue(0));
    if (type != QLatin1String("table")) {
        state.kind = TableState::NotATable;
        state.objectType = type;
        return state;
    }
    QStringList present;
    if (!columnsOf(db, table.name, &present))
        return state;
    for (const Column &column : table.columns) {
        if (present.contains(QLatin1String(column.name)))
            continue;
        (column.addedAtStart() ? state.addedAtStart : state.lacking).append(QLatin1String(column.name));
        state.absent.append(QLatin1String(column.name));
    }
    state.kind = state.lacking.isEmpty() && state.addedAtStart.isEmpty() ? TableState::Sound : TableState::LacksColumns;
    return state;
}

QString StrategySchema::TableState::fault() const
{
    switch (kind) {
    case Missing:
        return QStringLiteral("there is no such table");
    case NotATable:
        return QStringLiteral("%1 %2 stands in its place")
            .arg(QLatin1String(objectType.startsWith(QLatin1Char('i')) ? "an" : "a"), objectType);
    case LacksColumns:
        return QStringLiteral("it lacks the column(s) %1").arg(absent.join(QLatin1String(", ")));
    case Unknown:
    case Sound:
        break;
    }
    return QString();
}
