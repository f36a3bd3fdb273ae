#ifndef SQLTEXT_H
#define SQLTEXT_H

#include <QDate>
#include <QString>

// Helpers for values placed into SQL statements built as text.
class SqlText
{
public:
    // The value for a place between single quotes: apostrophes doubled, so
    // that no value can end the literal. A value without an apostrophe comes
    // back unchanged.
    static QString quoted(const QString &value);

    // True for a plain decimal number: ASCII digits without a leading zero,
    // within 64 bits. Only such ids may stand in a statement without quotes.
    static bool isPlainDecimal(const QString &value);

    // Today's local date as the integer of its "yyyyMMdd" form.
    static int todayNumber();

    // QDate::fromString(text, "yyyyMMdd") of a column's UTF-8 text (nullptr
    // reads as empty), quicker for the usual eight digits.
    static QDate dateFromDigits(const char *text);

    // std::atoll and std::atof of a column's UTF-8 text (nullptr reads as
    // empty), to the last bit, quicker for plain numbers: an optional minus
    // and digits, and for atof a fraction and an exponent.
    static qint64 integerOf(const char *text);
    // QString::fromUtf8 of a column's text, quicker for ASCII.
    static QString textOf(const char *text);
    static double numberOf(const char *text);
};

#endif // SQLTEXT_H
