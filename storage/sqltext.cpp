#include "sqltext.h"

#include <QDate>
#include <QDateTime>
#include <QMutex>

#include <charconv>
#include <cstdlib>
#include <cstring>

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
    // Digits only, no leading zero, within 64 bits: exactly the texts that
    // SQLite reads back unchanged from a numeric literal, so that comparing
    // the literal with a stored text id finds that id and nothing else.
    if (value.isEmpty() || value.size() > 19 || (value.size() > 1 && value.at(0) == QLatin1Char('0')))
        return false;
    for (const QChar c : value) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    value.toLongLong(&ok);
    return ok;
}

int SqlText::todayNumber()
{
    // A batch writes thousands of rows in a second: the local date costs a
    // time-zone conversion, so it is looked up at most once a second.
    static QMutex mutex;
    static qint64 second = -1;
    static int number = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch() / 1000;
    QMutexLocker locker(&mutex);
    if (now != second) {
        const QDate today = QDate::currentDate();
        number = today.year() * 10000 + today.month() * 100 + today.day();
        second = now;
    }
    return number;
}

QDate SqlText::dateFromDigits(const char *text)
{
    // The common case, eight digits, without the cost of a format parser;
    // anything else is left to QDate::fromString, whose answer it keeps.
    if (text && std::strlen(text) == 8) {
        int value[8];
        bool digits = true;
        for (int i = 0; i < 8 && digits; ++i) {
            digits = text[i] >= '0' && text[i] <= '9';
            value[i] = text[i] - '0';
        }
        if (digits) {
            const QDate date(value[0] * 1000 + value[1] * 100 + value[2] * 10 + value[3], value[4] * 10 + value[5],
                             value[6] * 10 + value[7]);
            if (date.isValid())
                return date;
        }
    }
    return QDate::fromString(QString::fromUtf8(text), QStringLiteral("yyyyMMdd"));
}

qint64 SqlText::integerOf(const char *text)
{
    if (!text)
        return 0;
    // Up to 18 digits cannot overflow; anything else (blanks, a plus sign,
    // more digits, other characters after them) is left to atoll.
    const char *at = text + (*text == '-' ? 1 : 0);
    qint64 value = 0;
    int digits = 0;
    for (; *at >= '0' && *at <= '9'; ++at, ++digits) {
        if (digits == 18)
            return std::atoll(text);
        value = value * 10 + (*at - '0');
    }
    if (*at != '\0' || digits == 0)
        return std::atoll(text);
    return *text == '-' ? -value : value;
}

double SqlText::numberOf(const char *text)
{
    if (!text)
        return 0;
    // from_chars rounds correctly, as strtod does, and takes the same plain
    // forms; only a text it reads whole is taken from it, and blanks, a plus
    // sign, hexadecimal, infinities and NaN are left to atof.
    const char *end = text + std::strlen(text);
    const char first = *text == '-' ? text[1] : *text;
    if ((first >= '0' && first <= '9') || first == '.') {
        double value = 0;
        const std::from_chars_result result = std::from_chars(text, end, value);
        if (result.ec == std::errc() && result.ptr == end)
            return value;
    }
    return std::atof(text);
}

QString SqlText::textOf(const char *text)
{
    if (!text)
        return QString();
    const char *at = text;
    while (static_cast<unsigned char>(*at) - 1u < 0x7Fu) // ASCII, which is its own Latin-1
        ++at;
    if (*at == '\0')
        return QString::fromLatin1(text, int(at - text));
    return QString::fromUtf8(text);
}
