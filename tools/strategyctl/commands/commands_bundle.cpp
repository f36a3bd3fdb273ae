// Bundles: a user's whole strategy state as one versioned JSON document.
// `export` writes it; `import` checks a document whole and then applies it
// through the plug-in's own operations, so that its rules, files and signals
// apply as they do for the client. docs/bundle.md describes the document.

#include "commands.h"
#include "commandtable.h"
#include "eventprinter.h"
#include "unsavedwatch.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <zqapplicationdir.h>
#include <zqpath.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QTextCodec>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
const QString Format = QStringLiteral("strategylogic-bundle");
constexpr int Version = 1;
const QString DefaultGroup = QStringLiteral("默认分组");
const QString AutoStartGroup = QStringLiteral("自动启动");
const QString TimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
const QString TimeFormatMs = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");
// Far above any real bundle (some hundred bytes a record); more is not read.
constexpr qint64 MaxDocumentBytes = 64 * 1024 * 1024;
// Far above the document's own depth of three; deeper text is refused
// rather than read on the stack.
constexpr int MaxDepth = 64;

const QStringList StrategyKeys{QStringLiteral("id"),    QStringLiteral("name"),      QStringLiteral("filePath"),
                               QStringLiteral("group"), QStringLiteral("extraInfo"), QStringLiteral("copyIndex")};
const QStringList GroupKeys{QStringLiteral("name"), QStringLiteral("createTime")};
const QStringList InstanceKeys{QStringLiteral("instanceId"),  QStringLiteral("runMode"),
                               QStringLiteral("fundAccount"), QStringLiteral("returnRegInfo"),
                               QStringLiteral("startTime"),   QStringLiteral("endTime")};
const QStringList DayKeys{QStringLiteral("instanceId"), QStringLiteral("date"), QStringLiteral("initialFunds"),
                          QStringLiteral("endFunds")};
const QStringList ChangeKeys{QStringLiteral("pointer"), QStringLiteral("action"), QStringLiteral("detail")};

bool isBuiltIn(const QString &group)
{
    return group == DefaultGroup || group == AutoStartGroup;
}

// One thing wrong with a document, at its JSON pointer (RFC 6901).
struct Problem
{
    QString pointer;
    QString message;
};

QString member(const QString &pointer, const QString &name)
{
    QString token = name;
    token.replace(QLatin1Char('~'), QLatin1String("~0")).replace(QLatin1Char('/'), QLatin1String("~1"));
    return pointer + QLatin1Char('/') + token;
}

QString element(const QString &pointer, int index)
{
    return pointer + QLatin1Char('/') + QString::number(index);
}

// A value in a message: quoted as the shell reads it back, control
// characters as visible escapes.
QString shown(const QString &text)
{
    return Output::quoted(text);
}

QString shown(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String: return shown(value.toString());
    case QJsonValue::Double:
        if (std::isnan(value.toDouble()))
            return QStringLiteral("NaN");
        if (std::isinf(value.toDouble()))
            return value.toDouble() > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
        return Output::text(value);
    default: return Output::text(value);
    }
}

QString kindOf(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("true or false");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a text");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    default: return QStringLiteral("nothing");
    }
}

// Reading JSON

// Reads JSON text (RFC 8259) into Qt's JSON values. Unlike QJsonDocument it
// keeps what a check has to name instead of dropping or refusing it: a
// member given twice (QJsonDocument silently keeps the last), and numbers
// that are not finite (NaN, Infinity and -Infinity as Python writes them,
// or beyond the range of a double), kept as such.
class JsonReader
{
public:
    explicit JsonReader(const QString &text)
        : m_text(text)
    { }

    // False, with a problem, for text that is not JSON; members given twice
    // are added to `problems` either way.
    bool read(QJsonValue *value, QList<Problem> *problems)
    {
        m_problems = problems;
        skipBlanks();
        if (!parseValue(value, QString(), 0))
            return false;
        skipBlanks();
        if (m_pos < m_text.size())
            return fail(QString(), QStringLiteral("more text after the document"));
        return true;
    }

private:
    bool fail(const QString &pointer, const QString &what)
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

    QChar peek() const { return m_pos < m_text.size() ? m_text.at(m_pos) : QChar(); }

    void skipBlanks()
    {
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
                break;
            ++m_pos;
        }
    }

    bool literal(const QString &word)
    {
        if (m_text.midRef(m_pos, word.size()) != word)
            return false;
        m_pos += word.size();
        return true;
    }

    bool parseValue(QJsonValue *out, const QString &pointer, int depth)
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
            return fail(pointer,
                        m_pos < m_text.size() ? QStringLiteral("unexpected %1").arg(shown(QString(c)))
                                              : QStringLiteral("the text ends early"));
        return true;
    }

    bool parseNumber(QJsonValue *out, const QString &pointer)
    {
        static const QRegularExpression number(QStringLiteral("-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][-+]?[0-9]+)?"));
        const QRegularExpressionMatch match
            = number.match(m_text, m_pos, QRegularExpression::NormalMatch, QRegularExpression::AnchoredMatchOption);
        if (!match.hasMatch())
            return fail(pointer, QStringLiteral("a malformed number"));
        // Beyond the range of a double it reads as infinite, kept for the
        // check to name; below it, as 0.
        *out = match.captured().toLatin1().toDouble();
        m_pos = match.capturedEnd();
        return true;
    }

    bool hex4(uint *unit)
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

    bool parseString(QString *out, const QString &pointer)
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
            if (c != QLatin1Char('\\')) {
                text += c;
                continue;
            }
            const QChar escape = peek();
            ++m_pos;
            switch (escape.unicode()) {
            case '"':
            case '\\':
            case '/': text += escape; break;
            case 'b': text += QLatin1Char('\b'); break;
            case 'f': text += QLatin1Char('\f'); break;
            case 'n': text += QLatin1Char('\n'); break;
            case 'r': text += QLatin1Char('\r'); break;
            case 't': text += QLatin1Char('\t'); break;
            case 'u': {
                uint unit = 0;
                if (!hex4(&unit))
                    return fail(pointer, QStringLiteral("\\u without four hexadecimal digits"));
                if (QChar::isHighSurrogate(unit)) {
                    uint low = 0;
                    if (!literal(QStringLiteral("\\u")) || !hex4(&low) || !QChar::isLowSurrogate(low))
                        return fail(pointer, QStringLiteral("half of a surrogate pair"));
                    text += QChar(unit);
                    text += QChar(low);
                } else if (QChar::isLowSurrogate(unit)) {
                    return fail(pointer, QStringLiteral("half of a surrogate pair"));
                } else {
                    text += QChar(unit);
                }
                break;
            }
            default: --m_pos; return fail(pointer, QStringLiteral("an unknown escape"));
            }
        }
        *out = text;
        return true;
    }

    bool parseObject(QJsonValue *out, const QString &pointer, int depth)
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

    bool parseArray(QJsonValue *out, const QString &pointer, int depth)
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

    QString m_text;
    int m_pos = 0;
    QList<Problem> *m_problems = nullptr;
};

// The document

struct Bundle
{
    QList<FixedStrategyInfo> strategies;
    QList<SarvekGroupInfo> groups; // createTime -1 for null
    QStringList locks;
    QList<InstanceInfo> instances;
    QList<BackTestCashInfo> days;
    QString lastProduct;
    QString lastFundAccount;
    QString pythonPath;
};

// Where a text is kept, and so what it cannot hold.
enum class Kept {
    Anywhere, // the database or a settings file: no NUL
    DataFile, // a field of the data file: no ",%&", CR, LF or NUL
    Groups, // a group name: the data file's rule, and no "," or ";" (the groups file's separators)
};

QJsonValue timeValue(const QDateTime &time)
{
    if (!time.isValid())
        return QJsonValue(QJsonValue::Null);
    const QDateTime local = time.toLocalTime();
    return local.toString(local.time().msec() != 0 ? TimeFormatMs : TimeFormat);
}

// The ids whose times the local database keeps: digits without a leading
// zero, within 64 bits. The store puts the id into its statement as a
// number and refuses any other.
bool isPlainDecimal(const QString &id)
{
    static const QRegularExpression digits(QStringLiteral("^(0|[1-9][0-9]{0,18})$"));
    bool ok = false;
    id.toLongLong(&ok);
    return ok && digits.match(id).hasMatch();
}

// Reads a document into a Bundle and collects every problem of it.
class BundleReader
{
public:
    QList<Problem> problems;

    void read(const QJsonValue &root, Bundle *bundle)
    {
        if (!root.isObject()) {
            problem(QString(), QStringLiteral("expected an object, not %1").arg(kindOf(root)));
            return;
        }
        const QJsonObject doc = root.toObject();
        // The format and the version say what everything else means: when
        // they are not this one, nothing else is checked.
        bool known = true;
        const QJsonValue format = doc.value(QStringLiteral("format"));
        if (format.isUndefined()) {
            problem(QStringLiteral("/format"), QStringLiteral("missing: this is not a %1 document").arg(Format));
            known = false;
        } else if (format.toString() != Format) {
            problem(QStringLiteral("/format"), QStringLiteral("the format is %1, not %2").arg(shown(format), Format));
            known = false;
        }
        const QJsonValue version = doc.value(QStringLiteral("version"));
        if (version.isUndefined()) {
            problem(QStringLiteral("/version"), QStringLiteral("missing"));
            known = false;
        } else if (!version.isDouble() || version.toDouble() != Version) {
            problem(QStringLiteral("/version"),
                    QStringLiteral("version %1 is not known; this strategyctl reads version %2")
                        .arg(shown(version), QString::number(Version)));
            known = false;
        }
        if (!known)
            return;

        // In the order of the document, so that the problems come in it too.
        time(doc, QString(), QStringLiteral("exportedAt"), false);
        text(doc, QString(), QStringLiteral("user"), Kept::Anywhere);
        forEachObject(doc, QStringLiteral("fixedStrategies"), [&](const QJsonObject &o, const QString &at) {
            FixedStrategyInfo info;
            info.id = whole(o, at, QStringLiteral("id"), 1, INT_MAX, 0);
            info.name = text(o, at, QStringLiteral("name"), Kept::DataFile);
            info.filePath = text(o, at, QStringLiteral("filePath"), Kept::DataFile);
            info.group = text(o, at, QStringLiteral("group"), Kept::DataFile);
            info.extraInfo = text(o, at, QStringLiteral("extraInfo"), Kept::DataFile);
            info.copyIndex = int(whole(o, at, QStringLiteral("copyIndex"), INT_MIN, INT_MAX));
            notEmpty(o, at, QStringLiteral("name"), QStringLiteral("a fixed strategy needs a name"));
            bundle->strategies.append(info);
        });
        forEachObject(doc, QStringLiteral("groups"), [&](const QJsonObject &o, const QString &at) {
            SarvekGroupInfo group;
            group.name = text(o, at, QStringLiteral("name"), Kept::Groups);
            const QDateTime created = time(o, at, QStringLiteral("createTime"), true);
            group.createTime = created.isValid() ? created.toSecsSinceEpoch() : -1;
            bundle->groups.append(group);
        });
        forEach(doc, QStringLiteral("locks"), [&](const QJsonValue &value, const QString &at) {
            bundle->locks.append(text(value, at, Kept::Anywhere));
        });
        forEachObject(doc, QStringLiteral("instances"), [&](const QJsonObject &o, const QString &at) {
            InstanceInfo info;
            info.instanceId = text(o, at, QStringLiteral("instanceId"), Kept::Anywhere);
            info.runMode = int(whole(o, at, QStringLiteral("runMode"), INT_MIN, INT_MAX));
            info.fundAccount = text(o, at, QStringLiteral("fundAccount"), Kept::Anywhere);
            info.returnRegInfo = text(o, at, QStringLiteral("returnRegInfo"), Kept::Anywhere);
            info.startTime = time(o, at, QStringLiteral("startTime"), true);
            info.endTime = time(o, at, QStringLiteral("endTime"), true);
            notEmpty(o, at, QStringLiteral("instanceId"), QStringLiteral("an instance needs an id"));
            // The store keeps both times or none (a missing one is reported as such).
            const QJsonValue start = o.value(QStringLiteral("startTime"));
            const QJsonValue end = o.value(QStringLiteral("endTime"));
            const bool bothThere = !start.isUndefined() && !end.isUndefined();
            if (bothThere && start.isNull() != end.isNull())
                problem(member(at, start.isNull() ? QStringLiteral("startTime") : QStringLiteral("endTime")),
                        QStringLiteral("startTime and endTime are both set or both null"));
            else if (info.startTime.isValid() && info.endTime.isValid() && !info.instanceId.isEmpty()
                     && !isPlainDecimal(info.instanceId))
                problem(member(at, QStringLiteral("startTime")),
                        QStringLiteral("times are kept only for an instance whose id is a plain decimal number, "
                                       "not %1")
                            .arg(shown(info.instanceId)));
            bundle->instances.append(info);
        });
        forEachObject(doc, QStringLiteral("backtestDays"), [&](const QJsonObject &o, const QString &at) {
            BackTestCashInfo day;
            day.instanceId = text(o, at, QStringLiteral("instanceId"), Kept::Anywhere);
            day.date = date(o, at, QStringLiteral("date"));
            day.initialFunds = amount(o, at, QStringLiteral("initialFunds"));
            day.endFunds = amount(o, at, QStringLiteral("endFunds"));
            notEmpty(o, at, QStringLiteral("instanceId"), QStringLiteral("a day needs an instance id"));
            bundle->days.append(day);
        });
        bundle->lastProduct = text(doc, QString(), QStringLiteral("lastProduct"), Kept::Anywhere);
        bundle->lastFundAccount = text(doc, QString(), QStringLiteral("lastFundAccount"), Kept::Anywhere);
        whole(doc, QString(), QStringLiteral("runMode"), INT_MIN, INT_MAX);
        bundle->pythonPath = text(doc, QString(), QStringLiteral("pythonPath"), Kept::Anywhere);
        crossCheck(*bundle);
    }

private:
    bool m_quiet = false;

    void problem(const QString &pointer, const QString &message)
    {
        if (!m_quiet)
            problems.append({pointer, message});
    }

    void notEmpty(const QJsonObject &o, const QString &at, const QString &key, const QString &message)
    {
        const QJsonValue value = o.value(key);
        if (value.isString() && value.toString().isEmpty())
            problem(member(at, key), message);
    }

    // The member `key` of `o`; a problem when it is missing.
    bool take(const QJsonObject &o, const QString &pointer, const QString &key, QJsonValue *value)
    {
        *value = o.value(key);
        if (value->isUndefined()) {
            problem(member(pointer, key), QStringLiteral("missing"));
            return false;
        }
        return true;
    }

    // Calls `each` for every object of the array member `key`. An element
    // that is not an object stands as a record of default values (whose
    // members are not reported missing), so that records keep their indexes.
    void forEachObject(const QJsonObject &doc, const QString &key,
                       const std::function<void(const QJsonObject &, const QString &)> &each)
    {
        forEach(doc, key, [&](const QJsonValue &value, const QString &at) {
            if (!value.isObject())
                problem(at, QStringLiteral("expected an object, not %1").arg(kindOf(value)));
            m_quiet = !value.isObject();
            each(value.toObject(), at);
            m_quiet = false;
        });
    }

    void forEach(const QJsonObject &doc, const QString &key,
                 const std::function<void(const QJsonValue &, const QString &)> &each)
    {
        QJsonValue value;
        const QString at = member(QString(), key);
        if (!take(doc, QString(), key, &value))
            return;
        if (!value.isArray()) {
            problem(at, QStringLiteral("expected an array, not %1").arg(kindOf(value)));
            return;
        }
        const QJsonArray array = value.toArray();
        for (int i = 0; i < array.size(); ++i)
            each(array.at(i), element(at, i));
    }

    QString text(const QJsonObject &o, const QString &pointer, const QString &key, Kept kept)
    {
        QJsonValue value;
        if (!take(o, pointer, key, &value))
            return QString();
        return text(value, member(pointer, key), kept);
    }

    QString text(const QJsonValue &value, const QString &at, Kept kept)
    {
        if (!value.isString()) {
            problem(at, QStringLiteral("expected a text, not %1").arg(kindOf(value)));
            return QString();
        }
        const QString text = value.toString();
        const QString where = kept == Kept::Anywhere ? QString() : QStringLiteral(", which the data file cannot hold");
        if (text.contains(QChar(0)))
            problem(at, QStringLiteral("a text holds a NUL, which cannot be stored"));
        else if (kept != Kept::Anywhere && text.contains(QLatin1String(",%&")))
            problem(at, QStringLiteral("a text holds \",%&\"") + where);
        else if (kept != Kept::Anywhere && text.contains(QLatin1Char('\n')))
            problem(at, QStringLiteral("a text holds a line feed") + where);
        else if (kept != Kept::Anywhere && text.contains(QLatin1Char('\r')))
            problem(at, QStringLiteral("a text holds a carriage return") + where);
        else if (kept == Kept::Groups && (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char(';'))))
            problem(at,
                    QStringLiteral("a group name holds \"%1\", which the groups file cannot hold")
                        .arg(text.contains(QLatin1Char(',')) ? QLatin1Char(',') : QLatin1Char(';')));
        return text;
    }

    qint64 whole(const QJsonObject &o, const QString &pointer, const QString &key, qint64 min, qint64 max,
                 qint64 fallback = 0)
    {
        QJsonValue value;
        if (!take(o, pointer, key, &value))
            return fallback;
        const QString at = member(pointer, key);
        const double d = value.toDouble();
        if (!value.isDouble() || !std::isfinite(d) || d != std::trunc(d)) {
            problem(
                at,
                QStringLiteral("expected a whole number, not %1").arg(value.isDouble() ? shown(value) : kindOf(value)));
            return fallback;
        }
        if (d < double(min) || d > double(max)) {
            problem(at,
                    QStringLiteral("%1 is out of range (%2 to %3)")
                        .arg(shown(value), QString::number(min), QString::number(max)));
            return fallback;
        }
        return qint64(d);
    }

    double amount(const QJsonObject &o, const QString &pointer, const QString &key)
    {
        QJsonValue value;
        if (!take(o, pointer, key, &value))
            return 0;
        const QString at = member(pointer, key);
        if (!value.isDouble()) {
            problem(at, QStringLiteral("expected a number, not %1").arg(kindOf(value)));
            return 0;
        }
        if (!std::isfinite(value.toDouble())) {
            problem(at, QStringLiteral("%1 is not a finite amount").arg(shown(value)));
            return 0;
        }
        return value.toDouble();
    }

    // A local time "yyyy-MM-ddTHH:mm:ss" (".zzz" may follow); null when
    // `nullable` allows it.
    QDateTime time(const QJsonObject &o, const QString &pointer, const QString &key, bool nullable)
    {
        static const QRegularExpression pattern(
            QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(\\.[0-9]{3})?$"));
        QJsonValue value;
        if (!take(o, pointer, key, &value))
            return QDateTime();
        const QString at = member(pointer, key);
        if (value.isNull() && nullable)
            return QDateTime();
        if (!value.isString()) {
            problem(at,
                    QStringLiteral("expected a time%1, not %2")
                        .arg(nullable ? QStringLiteral(" or null") : QString(), kindOf(value)));
            return QDateTime();
        }
        const QString text = value.toString();
        const QDateTime time = pattern.match(text).hasMatch()
            ? QDateTime::fromString(text, text.size() > 19 ? TimeFormatMs : TimeFormat)
            : QDateTime();
        if (!time.isValid())
            problem(at, QStringLiteral("%1 is not a local time written yyyy-MM-ddTHH:mm:ss").arg(shown(text)));
        return time;
    }

    QDate date(const QJsonObject &o, const QString &pointer, const QString &key)
    {
        static const QRegularExpression pattern(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}$"));
        QJsonValue value;
        if (!take(o, pointer, key, &value))
            return QDate();
        const QString at = member(pointer, key);
        if (!value.isString()) {
            problem(at, QStringLiteral("expected a date, not %1").arg(kindOf(value)));
            return QDate();
        }
        const QString text = value.toString();
        const QDate date
            = pattern.match(text).hasMatch() ? QDate::fromString(text, QStringLiteral("yyyy-MM-dd")) : QDate();
        if (!date.isValid())
            problem(at, QStringLiteral("%1 is not a date written yyyy-MM-dd").arg(shown(text)));
        return date;
    }

    // What no single member shows: names and keys given twice, groups that
    // strategies name but the document does not list, built-in groups
    // given a time.
    void crossCheck(const Bundle &b)
    {
        QHash<QString, int> groups;
        for (int i = 0; i < b.groups.size(); ++i) {
            const SarvekGroupInfo &group = b.groups.at(i);
            const QString at = element(QStringLiteral("/groups"), i);
            if (group.name.isNull())
                continue;
            if (groups.contains(group.name))
                problem(member(at, QStringLiteral("name")),
                        QStringLiteral("the group %1 is also /groups/%2")
                            .arg(shown(group.name), QString::number(groups.value(group.name))));
            else
                groups.insert(group.name, i);
            if (isBuiltIn(group.name) && group.createTime != -1)
                problem(member(at, QStringLiteral("createTime")),
                        QStringLiteral("%1 is a built-in group: its createTime is null").arg(group.name));
        }
        QHash<qint64, int> ids;
        for (int i = 0; i < b.strategies.size(); ++i) {
            const FixedStrategyInfo &info = b.strategies.at(i);
            const QString at = element(QStringLiteral("/fixedStrategies"), i);
            if (info.id > 0 && ids.contains(info.id))
                problem(member(at, QStringLiteral("id")),
                        QStringLiteral("the id %1 is also the id of /fixedStrategies/%2")
                            .arg(info.id)
                            .arg(ids.value(info.id)));
            else if (info.id > 0)
                ids.insert(info.id, i);
            if (!info.group.isNull() && !groups.contains(info.group))
                problem(member(at, QStringLiteral("group")),
                        QStringLiteral("the group %1 is not listed in /groups").arg(shown(info.group)));
        }
        QHash<QString, int> instances;
        for (int i = 0; i < b.instances.size(); ++i) {
            const QString &id = b.instances.at(i).instanceId;
            if (id.isEmpty())
                continue;
            if (instances.contains(id))
                problem(member(element(QStringLiteral("/instances"), i), QStringLiteral("instanceId")),
                        QStringLiteral("the instance %1 is also /instances/%2")
                            .arg(shown(id), QString::number(instances.value(id))));
            else
                instances.insert(id, i);
        }
        QHash<QString, int> days;
        for (int i = 0; i < b.days.size(); ++i) {
            const BackTestCashInfo &day = b.days.at(i);
            if (day.instanceId.isEmpty() || !day.date.isValid())
                continue;
            const QString key = day.instanceId + QChar(0) + day.date.toString(Qt::ISODate);
            if (days.contains(key))
                problem(
                    member(element(QStringLiteral("/backtestDays"), i), QStringLiteral("date")),
                    QStringLiteral("the day %1 of instance %2 is also /backtestDays/%3")
                        .arg(day.date.toString(Qt::ISODate), shown(day.instanceId), QString::number(days.value(key))));
            else
                days.insert(key, i);
        }
    }
};

QString workFolder(CommandContext &c)
{
    return ZqApplicationDir::path() + QStringLiteral("/work/") + c.facade().getCurUserId();
}

// JSON text of one value, written by Qt (escapes, shortest numbers).
QByteArray compact(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// An object on one line, its members in the order of `keys`.
QByteArray line(const QJsonObject &object, const QStringList &keys)
{
    QByteArray out = "{";
    for (int i = 0; i < keys.size(); ++i)
        out += (i ? ", " : "") + compact(keys.at(i)) + ": " + compact(object.value(keys.at(i)));
    return out + '}';
}

// The document as people read and compare it: the members in a fixed
// order, one record per line.
QByteArray documentText(const QList<QPair<QString, QJsonValue>> &members, const QHash<QString, QStringList> &recordKeys)
{
    QByteArray out = "{\n";
    for (int i = 0; i < members.size(); ++i) {
        const QString &key = members.at(i).first;
        const QJsonValue &value = members.at(i).second;
        out += "    " + compact(key) + ": ";
        if (value.isArray() && !value.toArray().isEmpty()) {
            const QJsonArray array = value.toArray();
            out += "[\n";
            for (int j = 0; j < array.size(); ++j) {
                out += "        ";
                out += array.at(j).isObject() ? line(array.at(j).toObject(), recordKeys.value(key))
                                              : compact(array.at(j));
                out += j + 1 < array.size() ? ",\n" : "\n";
            }
            out += "    ]";
        } else {
            out += compact(value);
        }
        out += i + 1 < members.size() ? ",\n" : "\n";
    }
    return out + "}\n";
}

// Replaces `path` whole or not at all: a file that was there stays as it
// was on failure. Unbuffered, and written to the last byte before commit():
// commit() takes a failure of its own final flush (a full disk, a file size
// limit) for success and renames a short file into place, and a short write
// is no error to QFileDevice, so the rest is written again until the system
// names the failure.
bool writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    for (qint64 written = 0; written < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            *error = n < 0 ? file.errorString() : QStringLiteral("nothing more could be written");
            file.cancelWriting();
            return false;
        }
        written += n;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

int exportBundle(CommandContext &c)
{
    StrategyFileLogicHandler &f = c.facade();
    const QString path = CommandContext::localFile(c.args.at(0));
    // The instances the plug-in holds (of the database, an earlier run's
    // journal and this process), and the days of instances never
    // registered too.
    QStringList ids;
    QSet<QString> instancesListed;
    for (const InstanceInfo &info : f.getInstanceList()) {
        ids.append(info.instanceId);
        instancesListed.insert(info.instanceId);
    }
    for (const QString &id : f.getBackTestInstanceIdList()) {
        if (!instancesListed.contains(id))
            ids.append(id);
    }
    // Numbers in numeric order, before other ids, as the plug-in lists them.
    std::sort(ids.begin(), ids.end(), [](const QString &a, const QString &b) {
        bool aNumber = false;
        bool bNumber = false;
        const qint64 x = a.toLongLong(&aNumber);
        const qint64 y = b.toLongLong(&bNumber);
        if (aNumber != bNumber)
            return aNumber;
        return aNumber && x != y ? x < y : a < b;
    });

    QJsonArray strategies;
    QStringList namedGroups;
    for (const FixedStrategyInfo &info : f.getFixedStrategyList()) {
        strategies.append(QJsonObject{{QStringLiteral("id"), double(info.id)},
                                      {QStringLiteral("name"), info.name},
                                      {QStringLiteral("filePath"), info.filePath},
                                      {QStringLiteral("group"), info.group},
                                      {QStringLiteral("extraInfo"), info.extraInfo},
                                      {QStringLiteral("copyIndex"), info.copyIndex}});
        namedGroups.append(info.group);
    }
    QJsonArray groups;
    QSet<QString> listed;
    for (const SarvekGroupInfo &group : f.getAllStrategyGroups()) {
        // The built-in groups are the system's: their time is not carried.
        const bool timed = !isBuiltIn(group.name) && group.createTime != -1;
        groups.append(QJsonObject{
            {QStringLiteral("name"), group.name},
            {QStringLiteral("createTime"),
             timed ? timeValue(QDateTime::fromSecsSinceEpoch(group.createTime)) : QJsonValue(QJsonValue::Null)}});
        listed.insert(group.name);
    }
    // A group deleted while strategies still name it comes back at the next
    // start; listed here so that the document names every group it uses.
    namedGroups.removeDuplicates();
    namedGroups.sort();
    for (const QString &name : qAsConst(namedGroups)) {
        if (!listed.contains(name))
            groups.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("createTime"), QJsonValue()}});
    }
    QJsonArray locks;
    for (const QString &lock : f.getLockedFileList())
        locks.append(lock);
    QJsonArray instances;
    QJsonArray days;
    for (const QString &id : qAsConst(ids)) {
        const InstanceInfo info = f.getInstanceInfo(id);
        if (!info.instanceId.isEmpty())
            instances.append(QJsonObject{{QStringLiteral("instanceId"), info.instanceId},
                                         {QStringLiteral("runMode"), info.runMode},
                                         {QStringLiteral("fundAccount"), info.fundAccount},
                                         {QStringLiteral("returnRegInfo"), info.returnRegInfo},
                                         {QStringLiteral("startTime"), timeValue(info.startTime)},
                                         {QStringLiteral("endTime"), timeValue(info.endTime)}});
        QList<BackTestCashInfo> cash;
        if (f.queryBackTestCashInfo(id, cash)) {
            for (const BackTestCashInfo &day : qAsConst(cash))
                days.append(QJsonObject{{QStringLiteral("instanceId"), id},
                                        {QStringLiteral("date"), day.date.toString(Qt::ISODate)},
                                        {QStringLiteral("initialFunds"), day.initialFunds},
                                        {QStringLiteral("endFunds"), day.endFunds}});
        }
    }

    const QByteArray text
        = documentText({{QStringLiteral("format"), Format},
                        {QStringLiteral("version"), Version},
                        {QStringLiteral("exportedAt"), QDateTime::currentDateTime().toString(TimeFormat)},
                        {QStringLiteral("user"), f.getCurUserId()},
                        {QStringLiteral("fixedStrategies"), strategies},
                        {QStringLiteral("groups"), groups},
                        {QStringLiteral("locks"), locks},
                        {QStringLiteral("instances"), instances},
                        {QStringLiteral("backtestDays"), days},
                        {QStringLiteral("lastProduct"), f.getLastProduct()},
                        {QStringLiteral("lastFundAccount"), f.getLastFundaccount()},
                        {QStringLiteral("runMode"), f.getCurrentRunMode()},
                        {QStringLiteral("pythonPath"), f.getPYInstallPath()}},
                       {{QStringLiteral("fixedStrategies"), StrategyKeys},
                        {QStringLiteral("groups"), GroupKeys},
                        {QStringLiteral("instances"), InstanceKeys},
                        {QStringLiteral("backtestDays"), DayKeys}});

    QString error;
    if (!writeWhole(path, text, &error))
        return c.unavailable(QStringLiteral("io"), QStringLiteral("cannot write %1: %2").arg(path, error));

    const QJsonObject record{{QStringLiteral("file"), path},
                             {QStringLiteral("fixedStrategies"), strategies.size()},
                             {QStringLiteral("groups"), groups.size()},
                             {QStringLiteral("locks"), locks.size()},
                             {QStringLiteral("instances"), instances.size()},
                             {QStringLiteral("backtestDays"), days.size()}};
    c.out.printRecord({QStringLiteral("file"), QStringLiteral("fixedStrategies"), QStringLiteral("groups"),
                       QStringLiteral("locks"), QStringLiteral("instances"), QStringLiteral("backtestDays")},
                      record);
    return CommandContext::Success;
}

// Import

enum class Mode { Merge, Replace };

QString backupName(const QString &path, const QDateTime &now)
{
    const QString base = path + QStringLiteral(".bak-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

// Copies `path` to a backup beside it, whole or not at all: the backup's
// path, or empty after setting `error`.
QString backUp(const QString &path, const QDateTime &now, QString *error)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = source.errorString();
        return QString();
    }
    const QByteArray content = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        *error = source.errorString();
        return QString();
    }
    const QString target = backupName(path, now);
    return writeWhole(target, content, error) ? target : QString();
}

// Whether files can be written in `folder`, or, while it does not exist, in
// the nearest folder above it (the plug-in creates the rest).
bool canWriteIn(const QString &folder)
{
    QFileInfo info(folder);
    while (!info.exists()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return false;
        info = QFileInfo(parent);
    }
    return info.isDir() && info.isWritable();
}

// The plug-in's default-name rule, for a walk that changes nothing: the
// file's base name, else the base name followed by 1, 2, ...
QString defaultName(const QString &filePath, const QStringList &taken)
{
    const QString base = ZqPath::baseName(filePath);
    if (!taken.contains(base))
        return base;
    for (qint64 n = 1;; ++n) {
        const QString candidate = base + QString::number(n);
        if (!taken.contains(candidate))
            return candidate;
    }
}

// Applies a checked document to the data folder, or walks through it
// without changing anything (to find what would change, and what could not
// be applied). Both walks take the same steps in the same order.
class Importer
{
public:
    Importer(CommandContext &c, const Bundle &bundle, Mode mode)
        : m_c(c)
        , m_f(c.facade())
        , m_bundle(bundle)
        , m_mode(mode)
    { }

    QList<QJsonObject> changes;
    QList<Problem> problems;

    int changeCount() const
    {
        int n = 0;
        for (const QJsonObject &change : changes)
            n += change.value(QStringLiteral("action")).toString() != QLatin1String("keep") ? 1 : 0;
        return n;
    }

    // Success, or the status of the step that failed (after reporting it).
    int walk(bool apply)
    {
        m_apply = apply;
        changes.clear();
        problems.clear();
        m_backups.clear();
        const QString work = workFolder(m_c);
        if (apply) {
            for (const QString &folder : {ZqApplicationDir::path(), work}) {
                if (!canWriteIn(folder))
                    return m_c.unavailable(QStringLiteral("io"),
                                           QStringLiteral("cannot write in %1; nothing was changed").arg(folder));
            }
        }

        QList<FixedStrategyInfo> existing = m_f.getFixedStrategyList();
        QSet<QString> groups;
        for (const SarvekGroupInfo &group : m_f.getAllStrategyGroups())
            groups.insert(group.name);
        if (m_mode == Mode::Replace) {
            const int status = clear(work, &existing, &groups);
            if (status != CommandContext::Success)
                return status;
        }
        QHash<QString, QStringList> names;
        for (const FixedStrategyInfo &info : qAsConst(existing))
            names[info.filePath].append(info.name);

        for (int i = 0; i < m_bundle.groups.size(); ++i) {
            const QString at = element(QStringLiteral("/groups"), i);
            const QString name = m_bundle.groups.at(i).name;
            if (groups.contains(name)) {
                change(at, QStringLiteral("keep"), QStringLiteral("group %1 is there already").arg(name));
                continue;
            }
            if (isBuiltIn(name)) {
                problems.append({member(at, QStringLiteral("name")),
                                 QStringLiteral("%1 is a built-in group, which an import cannot create, and this data "
                                                "folder does not have it%2")
                                     .arg(name,
                                          name == AutoStartGroup ? QStringLiteral(" (it comes with the client's "
                                                                                  "auto-start setting)")
                                                                 : QString())});
                continue;
            }
            if (apply) {
                // The group keeps the creation time it has in the bundle.
                const QString message = m_f.addGroupCreatedAt(name, m_bundle.groups.at(i).createTime);
                if (!message.isEmpty())
                    return stopped(at, message);
            }
            groups.insert(name);
            change(at, QStringLiteral("add"), QStringLiteral("group %1").arg(name));
        }

        // A strategy the data folder had before, equal in every field but
        // the id, is there already: importing a bundle twice adds nothing.
        QList<FixedStrategyInfo> unmatched = existing;
        for (int i = 0; i < m_bundle.strategies.size(); ++i) {
            const QString at = element(QStringLiteral("/fixedStrategies"), i);
            FixedStrategyInfo info = m_bundle.strategies.at(i);
            const auto same = std::find_if(unmatched.begin(), unmatched.end(), [&](const FixedStrategyInfo &other) {
                return other.filePath == info.filePath && other.name == info.name && other.group == info.group
                    && other.extraInfo == info.extraInfo && other.copyIndex == info.copyIndex;
            });
            if (same != unmatched.end()) {
                change(at, QStringLiteral("keep"),
                       QStringLiteral("%1 (%2) is there already as fixed strategy %3")
                           .arg(info.name, info.filePath, QString::number(same->id)));
                unmatched.erase(same);
                continue;
            }
            const QString wanted = info.name;
            if (names.value(info.filePath).contains(wanted)) {
                info.name = apply ? m_f.GetDefaultFixedStrategyName(info.filePath)
                                  : defaultName(info.filePath, names.value(info.filePath));
                if (info.name.isEmpty()) {
                    problems.append({member(at, QStringLiteral("name")),
                                     QStringLiteral("the name %1 is taken for %2, whose file name gives no other")
                                         .arg(shown(wanted), shown(info.filePath))});
                    continue;
                }
            }
            if (apply) {
                const int status = addStrategy(at, info);
                if (status != CommandContext::Success)
                    return status;
            }
            names[info.filePath].append(info.name);
            const QString where = QStringLiteral("(%1, group %2)").arg(info.filePath, info.group);
            if (info.name == wanted)
                change(at, QStringLiteral("add"), QStringLiteral("%1 %2").arg(info.name, where));
            else
                change(at, QStringLiteral("rename"),
                       QStringLiteral("%1 as %2 %3: the file has a fixed strategy named %1")
                           .arg(wanted, info.name, where));
        }

        QSet<QString> locked;
        for (int i = 0; i < m_bundle.locks.size(); ++i) {
            const QString at = element(QStringLiteral("/locks"), i);
            const QString &path = m_bundle.locks.at(i);
            if (locked.contains(path) || m_f.getFileLockState(path)) {
                change(at, QStringLiteral("keep"), QStringLiteral("%1 is locked already").arg(path));
                continue;
            }
            if (apply && !m_f.changeFileLockState(path, true))
                return stopped(at, QStringLiteral("the local database did not take the lock of %1").arg(path), true);
            locked.insert(path);
            change(at, QStringLiteral("add"), QStringLiteral("lock %1").arg(path));
        }

        // Instances and days are kept as they are: the data folder's are
        // the newer record of what ran.
        for (int i = 0; i < m_bundle.instances.size(); ++i) {
            const QString at = element(QStringLiteral("/instances"), i);
            const InstanceInfo &info = m_bundle.instances.at(i);
            if (!m_f.getInstanceInfo(info.instanceId).instanceId.isEmpty()
                || m_f.getInstanceRunMode(info.instanceId) != OPERATE_UNKNOWN) {
                change(at, QStringLiteral("keep"),
                       QStringLiteral("instance %1 is there already; kept as it is").arg(info.instanceId));
                continue;
            }
            if (apply) {
                if (!m_f.addInstanceRunMode(info.instanceId, info.runMode, info.fundAccount, info.returnRegInfo))
                    return stopped(at, QStringLiteral("the instance %1 was not registered").arg(info.instanceId));
                if (info.startTime.isValid()
                    && !m_f.setInstanceStartEndTime(info.instanceId, info.startTime, info.endTime))
                    return stopped(
                        at,
                        QStringLiteral("the local database did not take the times of instance %1").arg(info.instanceId),
                        true);
            }
            change(at, QStringLiteral("add"),
                   QStringLiteral("instance %1%2")
                       .arg(info.instanceId, info.startTime.isValid() ? QStringLiteral(" with its times") : QString()));
        }
        for (int i = 0; i < m_bundle.days.size(); ++i) {
            const QString at = element(QStringLiteral("/backtestDays"), i);
            const BackTestCashInfo &day = m_bundle.days.at(i);
            const QString which
                = QStringLiteral("%1 of instance %2").arg(day.date.toString(Qt::ISODate), day.instanceId);
            double initial = 0;
            double end = 0;
            if (m_f.queryBackTestCashInfo(day.instanceId, day.date, initial, end)) {
                change(at, QStringLiteral("keep"),
                       QStringLiteral("the day %1 is there already; kept as it is").arg(which));
                continue;
            }
            if (apply) {
                m_f.addBackTestInitCashInfo(day.instanceId, day.date, day.initialFunds);
                m_f.addBackTestInitCashEndInfo(day.instanceId, day.date, day.endFunds);
                if (!m_f.queryBackTestCashInfo(day.instanceId, day.date, initial, end) || initial != day.initialFunds
                    || end != day.endFunds)
                    return stopped(at, QStringLiteral("the day %1 was not recorded").arg(which));
            }
            change(at, QStringLiteral("add"), QStringLiteral("the day %1").arg(which));
        }

        // Remembered values are the user's choice: set only where there is none.
        const auto setValue
            = [&](const QString &key, const QString &what, const QString &value, const QString &current,
                  const std::function<void(const QString &)> &set, const std::function<QString()> &get) {
                  if (value.isEmpty())
                      return int(CommandContext::Success);
                  const QString at = member(QString(), key);
                  if (!current.isEmpty()) {
                      change(at, QStringLiteral("keep"),
                             current == value ? QStringLiteral("the %1 is %2 already").arg(what, current)
                                              : QStringLiteral("the %1 stays %2").arg(what, current));
                      return int(CommandContext::Success);
                  }
                  if (apply) {
                      set(value);
                      if (get() != value)
                          return stopped(at, QStringLiteral("the %1 was not set").arg(what));
                  }
                  change(at, QStringLiteral("set"), QStringLiteral("the %1 %2").arg(what, value));
                  return int(CommandContext::Success);
              };
        StrategyFileLogicHandler &f = m_f;
        int status = setValue(
            QStringLiteral("lastProduct"), QStringLiteral("product"), m_bundle.lastProduct, f.getLastProduct(),
            [&f](const QString &v) { f.setLastProduct(v); }, [&f] { return f.getLastProduct(); });
        if (status == CommandContext::Success)
            status = setValue(
                QStringLiteral("lastFundAccount"), QStringLiteral("fund account"), m_bundle.lastFundAccount,
                f.getLastFundaccount(), [&f](const QString &v) { f.setLastFundaccount(v); },
                [&f] { return f.getLastFundaccount(); });
        if (status == CommandContext::Success)
            status = setValue(
                QStringLiteral("pythonPath"), QStringLiteral("Python path"), m_bundle.pythonPath, f.getPYInstallPath(),
                [&f](const QString &v) { f.setPYInstallPath(v); }, [&f] { return f.getPYInstallPath(); });
        return status;
    }

private:
    void change(const QString &pointer, const QString &action, const QString &detail)
    {
        changes.append(QJsonObject{{QStringLiteral("pointer"), pointer.isNull() ? QJsonValue() : QJsonValue(pointer)},
                                   {QStringLiteral("action"), action},
                                   {QStringLiteral("detail"), detail}});
    }

    // Reports a step that failed part way; what came before it stays.
    int stopped(const QString &pointer, const QString &message, bool io = false)
    {
        QString note
            = QStringLiteral("strategyctl import: stopped at %1; the changes before it are made")
                  .arg(pointer.isEmpty() ? QStringLiteral("the removal of the user's strategies and groups") : pointer);
        if (!m_backups.isEmpty())
            note += QStringLiteral(" (the former files are kept as %1)").arg(m_backups.join(QStringLiteral(", ")));
        m_c.out.printError(note);
        if (io && UnsavedWatch::since(m_c.unsavedMark).isEmpty())
            return m_c.unavailable(QStringLiteral("io"), message);
        return m_c.refuseUnlessUnsaved(message);
    }

    // --replace: backs up the data file and the groups file, then removes
    // every strategy and the user groups the document does not list (those
    // it lists stay, and keep their creation times).
    int clear(const QString &work, QList<FixedStrategyInfo> *existing, QSet<QString> *groups)
    {
        const QDateTime now = QDateTime::currentDateTime();
        for (const QString &name :
             {QStringLiteral("SarvekFixStrategy.dat"), QStringLiteral("SarvekFixedStrategyGroups.txt")}) {
            const QString path = work + QLatin1Char('/') + name;
            if (!QFileInfo::exists(path))
                continue;
            QString error;
            const QString backup = m_apply ? backUp(path, now, &error) : backupName(path, now);
            if (backup.isEmpty())
                return m_c.unavailable(QStringLiteral("io"),
                                       QStringLiteral("cannot back up %1: %2; nothing was changed").arg(path, error));
            m_backups.append(backup);
            change(QString(), QStringLiteral("backup"), QStringLiteral("%1 copied to %2").arg(path, backup));
        }
        QStringList paths;
        for (const FixedStrategyInfo &info : qAsConst(*existing)) {
            if (!paths.contains(info.filePath))
                paths.append(info.filePath);
        }
        for (const QString &path : qAsConst(paths)) {
            if (m_apply && !m_f.delFixedStrategyInfoByFilePath(path))
                return stopped(QString(), QStringLiteral("the fixed strategies of %1 were not removed").arg(path));
        }
        for (const FixedStrategyInfo &info : qAsConst(*existing))
            change(QString(), QStringLiteral("remove"),
                   QStringLiteral("fixed strategy %1 %2 (%3)").arg(QString::number(info.id), info.name, info.filePath));
        existing->clear();
        QSet<QString> listed;
        for (const SarvekGroupInfo &group : m_bundle.groups)
            listed.insert(group.name);
        QStringList names = groups->values();
        names.sort();
        for (const QString &name : qAsConst(names)) {
            if (isBuiltIn(name) || listed.contains(name))
                continue;
            if (m_apply && !m_f.deleteGroup(name, false))
                return stopped(QString(), QStringLiteral("the group %1 was not removed").arg(name));
            groups->remove(name);
            change(QString(), QStringLiteral("remove"), QStringLiteral("group %1").arg(name));
        }
        return CommandContext::Success;
    }

    // Adds one strategy; its copy index comes with a change of the new record.
    int addStrategy(const QString &at, const FixedStrategyInfo &info)
    {
        if (!m_f.addFixedStrategy(info.filePath, info.name, info.group, info.extraInfo, 1))
            return stopped(at,
                           QStringLiteral("the fixed strategy %1 (%2) was not added").arg(info.name, info.filePath));
        if (info.copyIndex == 0)
            return CommandContext::Success;
        // New ids are above every stored one: the new record is the last,
        // unless the id sequence misbehaved.
        FixedStrategyInfo added = m_f.getLastFixedStrategyInfo();
        if (added.filePath != info.filePath || added.name != info.name) {
            for (const FixedStrategyInfo &other : m_f.getFixedStrategyList()) {
                if (other.filePath == info.filePath && other.name == info.name)
                    added = other;
            }
        }
        FixedStrategyInfo changed = info;
        changed.id = added.id;
        if (added.id < 1 || !m_f.modifyFixedStrategyInfo(int(added.id), changed))
            return stopped(at, QStringLiteral("the copy index of %1 (%2) was not set").arg(info.name, info.filePath));
        return CommandContext::Success;
    }

    CommandContext &m_c;
    StrategyFileLogicHandler &m_f;
    const Bundle &m_bundle;
    Mode m_mode;
    bool m_apply = false;
    QStringList m_backups;
};

int refuseProblems(CommandContext &c, const QString &file, const QList<Problem> &problems)
{
    const QString message = QStringLiteral("%1 cannot be imported (%2); nothing was changed")
                                .arg(file,
                                     problems.size() == 1 ? QStringLiteral("1 problem")
                                                          : QStringLiteral("%1 problems").arg(problems.size()));
    QJsonArray list;
    QString text = message + QLatin1Char(':');
    for (const Problem &problem : problems) {
        list.append(
            QJsonObject{{QStringLiteral("pointer"), problem.pointer}, {QStringLiteral("message"), problem.message}});
        // Pointers name members as the document spells them, control characters and all.
        text += QStringLiteral("\n  ")
            + Output::text(QString(problem.pointer.isEmpty() ? QStringLiteral("(the document)") : problem.pointer))
            + QStringLiteral(": ") + problem.message;
    }
    if (c.out.isJson())
        c.out.printJson(QJsonObject{{QStringLiteral("error"),
                                     QJsonObject{{QStringLiteral("kind"), QStringLiteral("refused")},
                                                 {QStringLiteral("message"), message},
                                                 {QStringLiteral("problems"), list}}}});
    c.out.printError(text);
    return CommandContext::Refused;
}

void printChanges(CommandContext &c, const QJsonObject &answer, const QList<QJsonObject> &changes, const QString &last)
{
    if (c.out.isJson()) {
        QJsonObject object = answer;
        QJsonArray list;
        for (const QJsonObject &change : changes)
            list.append(change);
        object.insert(QStringLiteral("changes"), list);
        c.out.printJson(object);
        return;
    }
    c.out.printRecords(ChangeKeys, changes);
    c.out.printLine(last);
}

int importBundle(CommandContext &c)
{
    const QString path = CommandContext::localFile(c.args.at(0));
    const Mode mode = c.parser.isSet(QStringLiteral("replace")) ? Mode::Replace : Mode::Merge;
    const QString modeName = mode == Mode::Replace ? QStringLiteral("replace") : QStringLiteral("merge");
    const bool dryRun = c.parser.isSet(QStringLiteral("dry-run"));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return c.refuse(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    // Read up to the limit only: FILE may be a device or a pipe without end.
    const QByteArray bytes = file.read(MaxDocumentBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return c.refuse(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    if (bytes.size() > MaxDocumentBytes)
        return refuseProblems(
            c, path, {{QString(), QStringLiteral("larger than a bundle can be (%1 bytes)").arg(MaxDocumentBytes)}});

    QTextCodec::ConverterState state;
    QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0)
        return refuseProblems(c, path, {{QString(), QStringLiteral("not UTF-8 text")}});
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);

    QList<Problem> problems;
    QJsonValue root;
    if (!JsonReader(text).read(&root, &problems))
        return refuseProblems(c, path, problems);
    Bundle bundle;
    BundleReader reader;
    reader.read(root, &bundle);
    problems += reader.problems;
    if (!problems.isEmpty())
        return refuseProblems(c, path, problems);

    // The whole import is walked through first: it starts only when every
    // step of it can be taken.
    Importer importer(c, bundle, mode);
    importer.walk(false);
    if (!importer.problems.isEmpty())
        return refuseProblems(c, path, importer.problems);
    if (dryRun) {
        printChanges(c, {{QStringLiteral("dryRun"), true}, {QStringLiteral("mode"), modeName}}, importer.changes,
                     QStringLiteral("dry run: nothing was changed"));
        return CommandContext::Success;
    }
    if (importer.changeCount() == 0)
        return c.unchanged(QStringLiteral("the data folder holds everything of %1 already").arg(path));
    const int status = importer.walk(true);
    if (status != CommandContext::Success)
        return status;
    if (!UnsavedWatch::since(c.unsavedMark).isEmpty())
        return c.refuseUnlessUnsaved(QString());
    printChanges(c, {{QStringLiteral("ok"), true}, {QStringLiteral("mode"), modeName}}, importer.changes,
                 QStringLiteral("ok"));
    return CommandContext::Success;
}

OptionSpec flag(const QString &name, const QString &description)
{
    return {name, QString(), ValueType::Text, description, {}, QString()};
}
} // namespace

void registerBundleCommands(CommandTable &table)
{
    CommandTable::Command &exportCommand = table.add(
        QStringLiteral("export"), QStringLiteral("FILE:path"),
        QStringLiteral("Writes the user's whole strategy state to FILE as one JSON document."), exportBundle);
    exportCommand.details = QStringLiteral(
        "The fixed strategies, groups, locks, instances, backtest days, remembered product and fund account, run "
        "mode and Python path, as docs/bundle.md describes. FILE is replaced whole or not at all.");
    exportCommand.db = DbAccess::Reads;


    CommandTable::Command &importCommand = table.add(
        QStringLiteral("import"), QStringLiteral("FILE:file"),
        QStringLiteral("Checks a document written by 'export' and applies it to the data folder."), importBundle,
        {flag(QStringLiteral("merge"), QStringLiteral("Add to what the data folder holds (the default).")),
         flag(QStringLiteral("replace"),
              QStringLiteral("Back up the data file and the groups file, then replace the strategies and groups.")),
         flag(QStringLiteral("dry-run"), QStringLiteral("Check and show what would change; change nothing."))});
    importCommand.details = QStringLiteral(
        "The whole document is checked first: every problem is reported with its JSON pointer, and nothing is "
        "changed unless all of it can be applied. docs/bundle.md says what each mode does.");
    importCommand.db = DbAccess::Writes;

    importCommand.check = [](const ParsedCommand &parsed) {
        return parsed.options.contains(QStringLiteral("merge")) && parsed.options.contains(QStringLiteral("replace"))
            ? QStringLiteral("--merge and --replace exclude each other")
            : QString();
    };
}
