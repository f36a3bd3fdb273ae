#include "doctortext.h"

namespace {
// How many examples a message names before it says "and N more".
constexpr int Examples = 3;
} // namespace

QString DoctorText::quoted(const QString &text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString DoctorText::someOf(const QStringList &items)
{
    QString text = items.mid(0, Examples).join(QLatin1String(", "));
    if (items.size() > Examples)
        text += QStringLiteral(" and %1 more").arg(items.size() - Examples);
    return text;
}

QString DoctorText::plural(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString DoctorText::numbers(const QList<int> &lines)
{
    QStringList texts;
    for (int line : lines)
        texts.append(QString::number(line));
    return texts.join(QLatin1String(", "));
}
