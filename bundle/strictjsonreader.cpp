#include "bundle/strictjsonreader.h"

#include "bundle/bundletext.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QPair>
#include <QSet>

#include <algorithm>

namespace {
// Objects up to this many members look for a name given twice among the
// names before it; larger ones keep a set of them.
constexpr int FewMembers = 8;
} // namespace

StrictJsonReader::StrictJsonReader(const QString &text)
    : m_text(text)
    , m_data(m_text.constData())
    , m_size(m_text.size())
{
}

bool StrictJsonReader::read(QJsonValue *value, BundleProblems *problems)
{
    m_problems = problems;
    m_pos = 0;
    m_path.clear();
    skipBlanks();
    if (!parseValue(value, 0))
        return false;
    skipBlanks();
    if (m_pos < m_size)
        return fail(QStringLiteral("more text after the document"));
    return true;
}

QString StrictJsonReader::pointer() const
{
    QString spelled;
    for (const Step &step : m_path)
        spelled = step.isElement ? BundleText::element(spelled, step.index) : BundleText::member(spelled, step.name);
    return spelled;
}

// Reading stops at the first fault, so the line and column are counted
// once for a text.
bool StrictJsonReader::fail(const QString &what)
{
    int line = 1;
    int column = 1;
    for (int i = 0; i < m_pos && i < m_size; ++i) {
        if (m_data[i] == QLatin1Char('\n')) {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    m_problems->addLast(pointer(), QStringLiteral("not JSON: %1 at line %2, column %3")
                                   .arg(what, QString::number(line), QString::number(column)));
    return false;
}

// The end of the run of digits that starts at `at`.
int StrictJsonReader::digitsFrom(int at) const
{
    while (isDigit(at))
        ++at;
    return at;
}

void StrictJsonReader::skipBlanks()
{
    while (m_pos < m_size) {
        const QChar c = m_data[m_pos];
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            break;
        ++m_pos;
    }
}

bool StrictJsonReader::literal(QLatin1String word)
{
    if (m_size - m_pos < word.size() || QStringView(m_data + m_pos, word.size()) != word)
        return false;
    m_pos += word.size();
    return true;
}

bool StrictJsonReader::parseValue(QJsonValue *out, int depth)
{
    if (depth > MaxDepth)
        return fail(QStringLiteral("values nested more than %1 deep").arg(MaxDepth));
    const QChar c = peek();
    if (c == QLatin1Char('{'))
        return parseObject(out, depth);
    if (c == QLatin1Char('['))
        return parseArray(out, depth);
    if (c == QLatin1Char('"')) {
        QString text;
        if (!parseString(&text))
            return false;
        *out = text;
        return true;
    }
    if (literal(QLatin1String("true")))
        *out = true;
    else if (literal(QLatin1String("false")))
        *out = false;
    else if (literal(QLatin1String("null")))
        *out = QJsonValue(QJsonValue::Null);
    else if (literal(QLatin1String("NaN")))
        *out = qQNaN();
    else if (literal(QLatin1String("Infinity")))
        *out = qInf();
    else if (literal(QLatin1String("-Infinity")))
        *out = -qInf();
    else if (c == QLatin1Char('-') || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
        return parseNumber(out);
    else
        return fail(m_pos < m_size ? QStringLiteral("unexpected %1").arg(BundleText::shown(QString(c)))
                                   : QStringLiteral("the text ends early"));
    return true;
}

// -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][-+]?[0-9]+)?, the longest that fits:
// what follows it ("01", "1.", "1e") is the next token's fault.
bool StrictJsonReader::parseNumber(QJsonValue *out)
{
    const int start = m_pos;
    int at = m_pos + (peek() == QLatin1Char('-') ? 1 : 0);
    if (!isDigit(at))
        return fail(QStringLiteral("a malformed number"));
    at = m_data[at] == QLatin1Char('0') ? at + 1 : digitsFrom(at);
    if (at < m_size && m_data[at] == QLatin1Char('.') && isDigit(at + 1))
        at = digitsFrom(at + 1);
    if (at < m_size && (m_data[at] == QLatin1Char('e') || m_data[at] == QLatin1Char('E'))) {
        const int sign = at + 1 < m_size && (m_data[at + 1] == QLatin1Char('-') || m_data[at + 1] == QLatin1Char('+'));
        if (isDigit(at + 1 + sign))
            at = digitsFrom(at + 1 + sign);
    }
    // Beyond the range of a double it reads as infinite, kept for the check
    // to name; below it, as 0.
    *out = QStringView(m_data + start, at - start).toLatin1().toDouble();
    m_pos = at;
    return true;
}

bool StrictJsonReader::hex4(uint *unit)
{
    if (m_size - m_pos < 4)
        return false;
    uint value = 0;
    for (int i = 0; i < 4; ++i) {
        const ushort c = m_data[m_pos + i].unicode();
        const int digit = c >= '0' && c <= '9' ? c - '0'
            : c >= 'a' && c <= 'f'             ? c - 'a' + 10
            : c >= 'A' && c <= 'F'             ? c - 'A' + 10
                                               : -1;
        if (digit < 0)
            return false;
        value = value * 16 + uint(digit);
    }
    *unit = value;
    m_pos += 4;
    return true;
}

bool StrictJsonReader::parseString(QString *out)
{
    ++m_pos; // the opening quote
    QString text;
    for (;;) {
        // The run of plain characters up to the next quote, backslash or
        // control character, taken whole.
        const int run = m_pos;
        while (m_pos < m_size) {
            const ushort c = m_data[m_pos].unicode();
            if (c == '"' || c == '\\' || c < 0x20)
                break;
            ++m_pos;
        }
        if (text.isNull() && m_pos < m_size && m_data[m_pos] == QLatin1Char('"')) {
            *out = QString(m_data + run, m_pos - run);
            ++m_pos;
            return true;
        }
        text.append(m_data + run, m_pos - run);
        if (m_pos >= m_size)
            return fail(QStringLiteral("a text that is not closed"));
        const QChar c = m_data[m_pos];
        if (c == QLatin1Char('"')) {
            ++m_pos;
            break;
        }
        if (c.unicode() < 0x20)
            return fail(QStringLiteral("a control character in a text (JSON writes it as an escape)"));
        ++m_pos; // the backslash
        if (!parseEscape(&text))
            return false;
    }
    *out = text;
    return true;
}

// The escape after a backslash, appended to `text`.
bool StrictJsonReader::parseEscape(QString *text)
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
    default: --m_pos; return fail(QStringLiteral("an unknown escape"));
    }
    uint unit = 0;
    if (!hex4(&unit))
        return fail(QStringLiteral("\\u without four hexadecimal digits"));
    if (QChar::isLowSurrogate(unit))
        return fail(QStringLiteral("half of a surrogate pair"));
    if (QChar::isHighSurrogate(unit)) {
        uint low = 0;
        if (!literal(QLatin1String("\\u")) || !hex4(&low) || !QChar::isLowSurrogate(low))
            return fail(QStringLiteral("half of a surrogate pair"));
        *text += QChar(unit);
        *text += QChar(low);
        return true;
    }
    *text += QChar(unit);
    return true;
}

bool StrictJsonReader::parseObject(QJsonValue *out, int depth)
{
    ++m_pos;
    QVector<QPair<QString, QJsonValue>> members;
    QSet<QString> names; // filled once the object has more than a few members
    skipBlanks();
    if (peek() == QLatin1Char('}')) {
        ++m_pos;
        *out = QJsonObject();
        return true;
    }
    for (;;) {
        skipBlanks();
        if (peek() != QLatin1Char('"'))
            return fail(QStringLiteral("a member name expected"));
        QString name;
        if (!parseString(&name))
            return false;
        m_path.append({false, 0, name});
        skipBlanks();
        if (peek() != QLatin1Char(':'))
            return fail(QStringLiteral("':' expected"));
        ++m_pos;
        skipBlanks();
        QJsonValue value;
        if (!parseValue(&value, depth + 1))
            return false;
        bool twice = false;
        if (members.size() < FewMembers) {
            twice = std::any_of(members.cbegin(), members.cend(),
                                [&](const QPair<QString, QJsonValue> &m) { return m.first == name; });
        } else {
            if (names.isEmpty()) {
                for (const QPair<QString, QJsonValue> &m : qAsConst(members))
                    names.insert(m.first);
            }
            twice = names.contains(name);
            if (!twice)
                names.insert(name);
        }
        if (twice && m_problems->keeps())
            m_problems->add(pointer(), QStringLiteral("the member is given twice"));
        else if (twice)
            m_problems->skip();
        else
            members.append({name, value});
        m_path.removeLast();
        skipBlanks();
        if (peek() == QLatin1Char(',')) {
            ++m_pos;
            continue;
        }
        if (peek() == QLatin1Char('}')) {
            ++m_pos;
            break;
        }
        return fail(QStringLiteral("',' or '}' expected"));
    }
    // QJsonObject keeps its members in the order of their names (UTF-16
    // code units) and moves the later ones for each one inserted before
    // them: in that order each goes at the end.
    std::sort(members.begin(), members.end(),
              [](const QPair<QString, QJsonValue> &a, const QPair<QString, QJsonValue> &b) { return a.first < b.first; });
    QJsonObject object;
    for (const QPair<QString, QJsonValue> &m : qAsConst(members))
        object.insert(m.first, m.second);
    *out = object;
    return true;
}

bool StrictJsonReader::parseArray(QJsonValue *out, int depth)
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
        m_path.append({true, array.size(), QString()});
        if (!parseValue(&value, depth + 1))
            return false;
        m_path.removeLast();
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
        return fail(QStringLiteral("',' or ']' expected"));
    }
    *out = array;
    return true;
}
