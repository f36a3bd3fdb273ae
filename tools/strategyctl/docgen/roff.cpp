#include "roff.h"

#include <QVector>

namespace {
bool isWordChar(uint c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c > 0x7f;
}

bool isDigit(uint c)
{
    return c >= '0' && c <= '9';
}

// Whether the hyphen at `i` is a minus sign: in an option ("--wait", "-h"),
// a negative number or between digits (a date). Others are hyphens of words.
bool isMinus(const QVector<uint> &codes, int i)
{
    int first = i;
    while (first > 0 && codes.at(first - 1) == '-')
        --first;
    int last = i;
    while (last + 1 < codes.size() && codes.at(last + 1) == '-')
        ++last;
    const uint before = first > 0 ? codes.at(first - 1) : ' ';
    const uint after = last + 1 < codes.size() ? codes.at(last + 1) : ' ';
    if (!isWordChar(before) && isWordChar(after))
        return true;
    return isDigit(before) && isDigit(after);
}
} // namespace

QString Roff::escape(const QString &text, Style style)
{
    QString out;
    const QVector<uint> codes = text.toUcs4();
    for (int i = 0; i < codes.size(); ++i) {
        const uint c = codes.at(i);
        if (c == '\\') {
            out += QLatin1String("\\e");
        } else if (c == '-') {
            out += style == Style::Literal || isMinus(codes, i) ? QLatin1String("\\-") : QLatin1String("-");
        } else if (c == '\'' && style == Style::Literal) {
            out += QLatin1String("\\(aq");
        } else if (c == '`' && style == Style::Literal) {
            out += QLatin1String("\\(ga");
        } else if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0)) {
            out += QLatin1Char(' ');
        } else if (c == '/' && i > 0 && i + 1 < codes.size() && isWordChar(codes.at(i + 1))) {
            // A place to break a long path.
            out += QLatin1String("/\\:");
        } else if (c < 0x80) {
            out += QLatin1Char(char(c));
        } else {
            out += QLatin1String("\\[u") + QString::number(c, 16).toUpper().rightJustified(4, QLatin1Char('0'))
                   + QLatin1Char(']');
        }
    }
    return out;
}

QString Roff::line(const QString &escaped)
{
    QString text = escaped.trimmed();
    if (text.isEmpty())
        return QString();
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QLatin1String("\\&"));
    return text + QLatin1Char('\n');
}

QString Roff::argument(const QString &text, Style style)
{
    QString escaped = escape(text.simplified(), style);
    escaped.replace(QLatin1Char('"'), QLatin1String("\\(dq"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString Roff::bold(const QString &text)
{
    return QLatin1String("\\fB") + escape(text, Style::Literal) + QLatin1String("\\fR");
}

QString Roff::italic(const QString &text)
{
    return QLatin1String("\\fI") + escape(text, Style::Literal) + QLatin1String("\\fR");
}
