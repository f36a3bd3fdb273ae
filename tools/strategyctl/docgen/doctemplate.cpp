#include "doctemplate.h"

#include <QFile>

namespace {
bool isNameChar(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('_');
}
} // namespace

DocTemplate::DocTemplate(const QString &path)
    : m_path(path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("strategyctl: the template %s is not compiled in: %s", qPrintable(path), qPrintable(file.errorString()));
    m_text = QString::fromUtf8(file.readAll());
}

QString DocTemplate::fill(const QMap<QString, QString> &values) const
{
    QString out;
    out.reserve(m_text.size() * 2);
    int i = 0;
    while (i < m_text.size()) {
        const bool lineStart = i == 0 || m_text.at(i - 1) == QLatin1Char('\n');
        if (lineStart && m_text.midRef(i, 2) == QLatin1String("@@")) {
            const int end = m_text.indexOf(QLatin1Char('\n'), i);
            i = end < 0 ? m_text.size() : end + 1;
            continue;
        }
        const QChar c = m_text.at(i);
        int end = i + 1;
        while (c == QLatin1Char('@') && end < m_text.size() && isNameChar(m_text.at(end)))
            ++end;
        if (c != QLatin1Char('@') || end == i + 1 || end >= m_text.size() || m_text.at(end) != QLatin1Char('@')) {
            out += c;
            ++i;
            continue;
        }
        const QString name = m_text.mid(i + 1, end - i - 1);
        const auto value = values.constFind(name);
        if (value == values.constEnd())
            qFatal("strategyctl: the template %s has no value for @%s@", qPrintable(m_path), qPrintable(name));
        out += *value;
        i = end + 1;
        // A placeholder that is a whole line takes its line break along.
        if (lineStart && i < m_text.size() && m_text.at(i) == QLatin1Char('\n'))
            ++i;
    }
    return out;
}
