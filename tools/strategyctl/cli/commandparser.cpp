#include "commandparser.h"

#include "commandcontext.h"
#include "commandsuggestions.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {
// A negative number is a value, not an option. The quantifiers are
// possessive: a long run of digits that is no number is refused without
// trying each way of splitting it.
bool looksLikeNumber(const QString &word)
{
    static const QRegularExpression number(QStringLiteral("^-(\\d++(\\.\\d*+)?|\\.\\d++)([eE][-+]?\\d++)?$"));
    return number.match(word).hasMatch();
}

// An error text when `value` is not of `type`, else empty.
QString checkValue(const QString &what, const QString &value, ValueType type, const QStringList &choices)
{
    bool ok = true;
    switch (type) {
    case ValueType::Int:
        value.toLongLong(&ok);
        break;
    case ValueType::Count: {
        const int n = value.toInt(&ok);
        ok = ok && n >= 1;
        break;
    }
    case ValueType::Millis:
    case ValueType::Seconds: {
        const int n = value.toInt(&ok);
        ok = ok && n >= 0;
        break;
    }
    case ValueType::Number: {
        const double d = value.toDouble(&ok);
        ok = ok && qIsFinite(d);
        break;
    }
    case ValueType::Date:
        ok = QDate::fromString(value, Qt::ISODate).isValid();
        break;
    case ValueType::Time:
        ok = QDateTime::fromString(value, Qt::ISODate).isValid();
        break;
    case ValueType::Choice:
        if (!choices.contains(value))
            return QStringLiteral("%1 is one of %2, not '%3'").arg(what, choices.join(QStringLiteral(", ")), value);
        break;
    default:
        break;
    }
    if (ok)
        return QString();
    if (type == ValueType::Int)
        return QStringLiteral("%1 must be a whole number, not '%2'").arg(what, value);
    return QStringLiteral("%1 must be %2, not '%3'").arg(what, CommandParser::typeName(type), value);
}
} // namespace

QList<ArgSpec> CommandParser::arguments(const QString &pattern)
{
    static const QMap<QString, ValueType> types{
        {QStringLiteral("text"), ValueType::Text},       {QStringLiteral("path"), ValueType::Path},
        {QStringLiteral("file"), ValueType::File},       {QStringLiteral("int"), ValueType::Int},
        {QStringLiteral("count"), ValueType::Count},     {QStringLiteral("millis"), ValueType::Millis},
        {QStringLiteral("seconds"), ValueType::Seconds}, {QStringLiteral("number"), ValueType::Number},
        {QStringLiteral("date"), ValueType::Date},       {QStringLiteral("time"), ValueType::Time}};
    QList<ArgSpec> args;
    for (QString token : pattern.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        ArgSpec arg;
        if (token.startsWith(QLatin1Char('[')) && token.endsWith(QLatin1Char(']'))) {
            arg.optional = true;
            token = token.mid(1, token.size() - 2);
        }
        if (token.endsWith(QLatin1String("..."))) {
            arg.repeated = true;
            token.chop(3);
        }
        const int colon = token.indexOf(QLatin1Char(':'));
        arg.name = colon < 0 ? token : token.left(colon);
        const QString type = colon < 0 ? QString() : token.mid(colon + 1);
        if (type.contains(QLatin1Char('|'))) {
            arg.type = ValueType::Choice;
            arg.choices = type.split(QLatin1Char('|'));
        } else {
            arg.type = types.value(type, ValueType::Text);
        }
        args.append(arg);
    }
    return args;
}

QString CommandParser::typeName(ValueType type)
{
    switch (type) {
    case ValueType::Int: return QStringLiteral("a whole number");
    case ValueType::Count: return QStringLiteral("a whole number of 1 or more");
    case ValueType::Millis: return QStringLiteral("a number of milliseconds");
    case ValueType::Seconds: return QStringLiteral("a number of seconds");
    case ValueType::Number: return QStringLiteral("a number");
    case ValueType::Date: return QStringLiteral("a date written yyyy-MM-dd");
    case ValueType::Time: return QStringLiteral("a time in ISO 8601, for example 2026-12-03T09:30:00");
    case ValueType::Choice: return QStringLiteral("one of the listed values");
    default: return QStringLiteral("a text");
    }
}

bool CommandParser::parse(const CommandTable::Command &command, const QStringList &words, ParsedCommand *parsed,
                          QString *error)
{
    if (!parseOptions(command, words, parsed, error))
        return false;
    if (parsed->help)
        return true;
    return checkArguments(command, *parsed, error);
}

bool CommandParser::parseOptions(const CommandTable::Command &command, const QStringList &words,
                                 ParsedCommand *parsed, QString *error)
{
    const QList<OptionSpec> &known = command.options;
    const QList<OptionSpec> globals = CommandTable::globalOptions();
    bool optionsEnd = false;
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (optionsEnd || !word.startsWith(QLatin1Char('-')) || word == QLatin1String("-") || looksLikeNumber(word)) {
            parsed->args.append(word);
            continue;
        }
        if (word == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        QString name;
        QString value;
        bool hasValue = false;
        if (word.startsWith(QLatin1String("--"))) {
            name = word.mid(2);
            const int equals = name.indexOf(QLatin1Char('='));
            if (equals >= 0) {
                value = name.mid(equals + 1);
                name = name.left(equals);
                hasValue = true;
            }
        } else {
            // One-letter options: -h, -v, and those of the command.
            name = word.mid(1);
            for (const OptionSpec &option : known + globals) {
                if (!option.shortName.isEmpty() && option.shortName == word.mid(1))
                    name = option.name;
            }
        }
        if (name == QLatin1String("help") && !hasValue) {
            parsed->help = true;
            continue;
        }
        const OptionSpec *matched = nullptr;
        bool global = false;
        for (const OptionSpec &option : known) {
            if (option.name == name)
                matched = &option;
        }
        for (const OptionSpec &option : globals) {
            if (!matched && option.name == name && name != QLatin1String("version")) {
                matched = &option;
                global = true;
            }
        }
        if (!matched) {
            *error = QStringLiteral("unknown option '%1'%2").arg(word, CommandSuggestions::option(known, name));
            return false;
        }
        if (matched->valueName.isEmpty()) {
            if (hasValue) {
                *error = QStringLiteral("--%1 takes no value").arg(name);
                return false;
            }
        } else if (!hasValue) {
            if (i + 1 >= words.size()) {
                *error = QStringLiteral("--%1 needs %2").arg(name, matched->valueName);
                return false;
            }
            value = words.at(++i);
        }
        if (!matched->valueName.isEmpty()) {
            const QString problem = checkValue(QStringLiteral("--") + name, value, matched->type, matched->choices);
            if (!problem.isEmpty()) {
                *error = problem;
                return false;
            }
        }
        (global ? parsed->globals : parsed->options).insert(name, value);
    }
    return true;
}

bool CommandParser::checkArguments(const CommandTable::Command &command, const ParsedCommand &parsed, QString *error)
{
    int required = 0;
    bool repeated = false;
    for (const ArgSpec &arg : command.args) {
        required += arg.optional ? 0 : 1;
        repeated = repeated || arg.repeated;
    }
    const int n = parsed.args.size();
    if (n < required || (!repeated && n > command.args.size())) {
        if (command.args.isEmpty())
            *error = QStringLiteral("takes no arguments");
        else
            *error = QStringLiteral("expects %1").arg(command.argumentSynopsis());
        return false;
    }
    for (int i = 0; i < n; ++i) {
        const ArgSpec &arg = command.args.at(std::min(i, int(command.args.size()) - 1));
        QString problem = checkValue(arg.name, parsed.args.at(i), arg.type, arg.choices);
        if (problem.isEmpty() && arg.type == ValueType::File
            && !QFileInfo(CommandContext::localFile(parsed.args.at(i))).isReadable())
            problem = QStringLiteral("cannot read the file '%1'").arg(parsed.args.at(i));
        if (!problem.isEmpty()) {
            *error = problem;
            return false;
        }
    }
    if (command.check) {
        *error = command.check(parsed);
        if (!error->isEmpty())
            return false;
    }
    return true;
}
