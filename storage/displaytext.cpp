#include <StrategyLogic/displaytext.h>

#include <algorithm>

namespace {
bool isControl(ushort u)
{
    return u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0);
}
} // namespace

QString StrategyLogic::visibleText(const QString &text)
{
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return isControl(c.unicode()); }))
        return text;
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == '\n')
            out += QLatin1String("\\n");
        else if (u == '\t')
            out += QLatin1String("\\t");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (isControl(u))
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString StrategyLogic::shellQuoted(const QString &text)
{
    const bool plain = !text.isEmpty() && std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.isSpace() || c == QLatin1Char('\'') || c == QLatin1Char('"');
    });
    if (plain)
        return visibleText(text);
    if (!text.contains(QLatin1Char('\'')))
        return QLatin1Char('\'') + visibleText(text) + QLatin1Char('\'');
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + visibleText(escaped) + QLatin1Char('"');
}
