#include "bundle/strictjsonreader.h"

#include "bundle/bundletext.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

using BundleText::element;
using BundleText::member;

StrictJsonReader::StrictJsonReader(const QString &text)
    : m_text(text)
{
}

bool StrictJsonReader::read(QJsonValue *value, QList<StrategyLogic::BundleProblem> *problems)
{
    m_problems = problems;
    m_pos = 0;
    skipBlanks();
    if (!parseValue(value, QString(), 0))
        return false;
    skipBlanks();
    if (m_pos < m_text.size())
        return fail(QString(), QStringLiteral("more text after the document"));
    return true;
}

bool StrictJsonReader::fail(const QString &pointer, const QString &what)
{
    int line = 1;
    int column = 1;
    for (int i = 0; i < m_pos && i < m_text.size(); ++i) {
        if (m_text.at(i) == QLatin1Char('\n')) {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    m_problems->append({pointer,
                        QStringLiteral("not JSON: %1 at line %2, column %3")
                            .arg(what, QString::number(line), QString::number(column))});
    return false;
}

void StrictJsonReader::skipBlanks()
{
    while (m_pos < m_text.size()) {
        const QChar c = m_text.at(m_pos);
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            break;
        ++m_pos;
    }
}

bool StrictJsonReader::literal(const QString &word)
{
    if (m_text.midRef(m_pos, word.size()) != word)
        return false;
    m_pos += word.size();
    return true;
}

bool StrictJsonReader::parseValue(QJsonValue *out, const QString &pointer, int depth)
{
    if (depth > MaxDepth)
        return fail(pointer, QStringLiteral("values nested more than %1 deep").arg(MaxDepth));
    const QChar c = peek();
    if (c == QLatin1Char('{'))
        return parseObject(out, pointer, depth);
    if (c == QLatin1Char('['))
        return parseArray(out, pointer, depth);
    if (c == QLatin1Char('"')) {
        QString text;
        if (!parseString(&text, pointer))
            return false;
        *out = text;
        return true;
    }
    if (literal(QStringLiteral("true")))
        *out = true;
    else if (literal(QStringLiteral("false")))
        *out = false;
    else if (literal(QStringLiteral("null")))
        *out = QJsonValue(QJsonValue::Null);
    else if (literal(QStringLiteral("NaN")))
        *out = qQNaN();
    else if (literal(QStringLiteral("Infinity")))
        *out = qInf();
    else if (literal(QStringLiteral("-Infinity")))
        *out = -qInf();
    else if (c == QLatin1Char('-') || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
        return parseNumber(out, pointer);
    else
        return fail(pointer, m_pos < m_text.size() ? QStringLiteral("unexpected %1").arg(BundleText::shown(QString(c)))
                                                   : QStringLiteral("the text ends early"));
    return true;
}

bool StrictJsonReader::parseNumber(QJsonValue *out, const QString &pointer)
{
    static const QRegularExpression number(QStringLiteral("-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][-+]?[0-9]+)?"));
    const QRegularExpressionMatch match
        = number.match(m_text, m_pos, QRegularExpression::NormalMatch, QRegularExpression::AnchoredMatchOption);
    if (!match.hasMatch())
        return fail(pointer, QStringLiteral("a malformed number"));
    // Beyond the range of a double it reads as infinite, kept for the check
    // to name; below it, as 0.
    *out = match.captured().toLatin1().toDouble();
    m_pos = match.capturedEnd();
    return true;
}

bool StrictJsonReader::hex4(uint *unit)
{
    bool ok = false;
    const QStringRef digits = m_text.midRef(m_pos, 4);
    *unit = digits.size() == 4 ? digits.toUInt(&ok, 16) : 0;
    for (const QChar c : digits)
        ok = ok && c.isLetterOrNumber() && c.unicode() < 0x80;
    if (ok)
        m_pos += 4;
    return ok;
}

bool StrictJsonReader::parseString(QString *out, const QString &pointer)
{
    ++m_pos; // the opening quote
    QString text;
    for (;;) {
        if (m_pos >= m_text.size())
            return fail(pointer, QStringLiteral("a text that is not closed"));
        const QChar c = m_text.at(m_pos++);
        if (c == QLatin1Char('"'))
            break;
        if (c.unicode() < 0x20) {
            --m_pos;
            return fail(pointer, QStringLiteral("a control character in a text (JSON writes it as an escape)"));
        }
        if (c != QLatin1Char('\\'))
            text += c;
        else if (!parseEscape(&text, pointer))
            return false;
    }
    *out = text;
    return true;
}

// The escape after a backslash, appended to `text`.
bool StrictJsonReader::parseEscape(QString *text, const QString &pointer)
{
    const QChar escape = peek();
    ++m_pos;
    switch (escape.unicode()) {
    case '"':
    case '\\':
    case '/': *text += escape; return true;
    case 'b': *text += QLatin1Char('\b'); return true;
    case 'f': *text += QLatin1Char('\f'); return true;
    case 'n': *text += QLatin1Char('\n'); return true;
    case 'r': *text += QLatin1Char('\r'); return true;
    case 't': *text += QLatin1Char('\t'); return true;
    case 'u': break;
    default: --m_pos; return fail(pointer, QStringLiteral("an unknown escape"));
    }
    uint unit = 0;
    if (!hex4(&unit))
        return fail(pointer, QStringLiteral("\\u without four hexadecimal digits"));
    if (QChar::isLowSurrogate(unit))
        return fail(pointer, QStringLiteral("half of a surrogate pair"));
    if (QChar::isHighSurrogate(unit)) {
        uint low = 0;
        if (!literal(QStringLiteral("\\u")) || !hex4(&low) || !QChar::isLowSurrogate(low))
            return fail(pointer, QStringLiteral("half of a surrogate pair"));
        *text += QChar(unit);
        *text += QChar(low);
        return true;
    }
    *text += QChar(unit);
    return true;
}

bool StrictJsonReader::parseObject(QJsonValue *out, const QString &pointer, int depth)
{
    ++m_pos;
    QJsonObject object;
    skipBlanks();
    if (peek() == QLatin1Char('}')) {
        ++m_pos;
        *out = object;
        return true;
    }
    for (;;) {
        skipBlanks();
        if (peek() != QLatin1Char('"'))
            return fail(pointer, QStringLiteral("a member name expected"));
        QString name;
        if (!parseString(&name, pointer))
            return false;
        const QString at = member(pointer, name);
        skipBlanks();
        if (peek() != QLatin1Char(':'))
            return fail(at, QStringLiteral("':' expected"));
        ++m_pos;
        skipBlanks();
        QJsonValue value;
        if (!parseValue(&value, at, depth + 1))
            return false;
        if (object.contains(name))
            m_problems->append({at, QStringLiteral("the member is given twice")});
        else
            object.insert(name, value);
        skipBlanks();
        if (peek() == QLatin1Char(',')) {
            ++m_pos;
            continue;
        }
        if (peek() == QLatin1Char('}')) {
            ++m_pos;
            break;
        }
        return fail(pointer, QStringLiteral("',' or '}' expected"));
    }
    *out = object;
    return true;
}

bool StrictJsonReader::parseArray(QJsonValue *out, const QString &pointer, int depth)
{
    ++m_pos;
    QJsonArray array;
    skipBlanks();
    if (peek() == QLatin1Char(']')) {
        ++m_pos;
        *out = array;
        return true;
    }
    for (;;) {
        skipBlanks();
        QJsonValue value;
        if (!parseValue(&value, element(pointer, array.size()), depth + 1))
            return false;
        array.append(value);
        skipBlanks();
        if (peek() == QLatin1Char(',')) {
            ++m_pos;
            continue;
        }
        if (peek() == QLatin1Char(']')) {
            ++m_pos;
            break;
        }
        return fail(pointer, QStringLiteral("',' or ']' expected"));
    }
    *out = array;
    return true;
}
