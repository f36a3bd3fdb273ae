#include "sqltext.h"

#include <QDate>

QString SqlText::quoted(const QString &value)
{
    if (!value.contains(QLatin1Char('\'')))
        return value;
    QString doubled = value;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    return doubled;
}

bool SqlText::isPlainDecimal(const QString &value)
{
    if (value.isEmpty())
        return false;
    for (const QChar c : value) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

int SqlText::todayNumber()
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toInt();
}
