#include "output.h"

#include <StrategyLogic/displaytext.h>

#include <QJsonDocument>
#include <QRegularExpression>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <wchar.h>

#include <cstdio>

Output::Output(bool json, bool compact)
    : m_json(json)
    , m_compact(compact)
{
}

void Output::deferStdout()
{
    m_deferred = true;
}

void Output::endDeferral(bool print)
{
    m_deferred = false;
    if (print) {
        const QByteArray held = m_held;
        m_held.clear();
        writeBytes(stdout, held);
    }
    m_held.clear();
}

void Output::write(FILE *stream, const QString &text)
{
    writeBytes(stream, text.toUtf8());
}

void Output::writeBytes(FILE *stream, const QByteArray &bytes)
{
    if (m_deferred && stream == stdout) {
        m_held += bytes;
        return;
    }
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    if ((std::fflush(stream) != 0 || written != size_t(bytes.size())) && stream == stdout && !m_stdoutFailed) {
        m_stdoutFailed = true;
        m_stdoutError = QString::fromLocal8Bit(std::strerror(errno));
    }
}

void Output::printJson(const QJsonValue &value)
{
    QJsonDocument doc;
    if (value.isArray())
        doc = QJsonDocument(value.toArray());
    else if (value.isObject())
        doc = QJsonDocument(value.toObject());
    else
        doc = QJsonDocument(QJsonArray{value}); // wrapped: a document is an object or an array
    QByteArray bytes = doc.toJson(m_compact ? QJsonDocument::Compact : QJsonDocument::Indented);
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    writeBytes(stdout, bytes);
}

void Output::printLine(const QString &text)
{
    write(stdout, text + QLatin1Char('\n'));
}

void Output::printError(const QString &text)
{
    write(stderr, text + QLatin1Char('\n'));
}

void Output::printFailure(const QString &kind, const QString &message)
{
    if (m_json)
        printJson(QJsonObject{{QStringLiteral("error"),
                               QJsonObject{{QStringLiteral("kind"), kind}, {QStringLiteral("message"), message}}}});
    printError(message);
}

void Output::printHelp(const QString &text)
{
    if (m_json)
        printJson(QJsonObject{{QStringLiteral("help"), text}});
    else
        printRaw(text);
}

void Output::printRaw(const QString &text)
{
    write(stdout, text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n'));
}


QString Output::text(const QJsonValue &value)
{
    static const QRegularExpression isoTime(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}$"));
    switch (value.type()) {
    case QJsonValue::String: {
        const QString text = value.toString();
        if (text.isEmpty())
            return QStringLiteral("-");
        if (text.size() == 19 && text.at(10) == QLatin1Char('T') && isoTime.match(text).hasMatch())
            return QString(text).replace(10, 1, QLatin1Char(' '));
        return StrategyLogic::visibleText(text);
    }
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: {
        const double d = value.toDouble();
        if (d == double(qint64(d)))
            return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return QStringLiteral("-");
    default:
        return StrategyLogic::visibleText(QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)));
    }
}

QString Output::quoted(const QString &text)
{
    return StrategyLogic::shellQuoted(text);
}

int Output::displayWidth(const QString &text)
{
    static const bool localeSet = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
    Q_UNUSED(localeSet)
    // Printable ASCII, one column a character, as most cells are.
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    if (ascii)
        return text.size();
    int width = 0;
    const QVector<uint> codePoints = text.toUcs4();
    for (const uint u : codePoints) {
        const int w = ::wcwidth(wchar_t(u));
        width += w > 0 ? w : 0;
    }
    return width;
}

void Output::printRecord(const QStringList &keys, const QJsonObject &record)
{
    if (m_json) {
        printJson(record);
        return;
    }
    int width = 0;
    for (const QString &key : keys)
        width = qMax(width, displayWidth(key));
    QString out;
    for (const QString &key : keys)
        out += key + QString(width - displayWidth(key) + 2, QLatin1Char(' ')) + text(record.value(key))
               + QLatin1Char('\n');
    write(stdout, out);
}

void Output::printRecords(const QStringList &columns, const QList<QJsonObject> &records)
{
    if (m_json) {
        QJsonArray array;
        for (const QJsonObject &record : records)
            array.append(record);
        printJson(array);
        return;
    }
    printTable(columns, records.size(),
               [&](int row, int column) { return records.at(row).value(columns.at(column)); });
}

void Output::printTable(const QStringList &columns, int rows,
                        const std::function<QJsonValue(int row, int column)> &value)
{
    // Two passes over the rows, the widths first, so that no cell is held:
    // a large listing takes the memory of its output alone.
    QVector<int> widths;
    for (const QString &column : columns)
        widths.append(displayWidth(column));
    for (int row = 0; row < rows; ++row) {
        for (int i = 0; i < columns.size(); ++i)
            widths[i] = qMax(widths[i], displayWidth(text(value(row, i))));
    }
    QString out;
    auto cell = [&](int i, const QString &shown) {
        out += shown;
        if (i + 1 < columns.size())
            out += QString(widths[i] - displayWidth(shown) + 2, QLatin1Char(' '));
        else
            out += QLatin1Char('\n');
    };
    for (int i = 0; i < columns.size(); ++i)
        cell(i, columns.at(i));
    for (int row = 0; row < rows; ++row) {
        for (int i = 0; i < columns.size(); ++i)
            cell(i, text(value(row, i)));
        if (out.size() >= 1 << 16) { // written in pieces
            write(stdout, out);
            out.resize(0); // keeps its room
        }
    }
    if (rows == 0)
        out += QStringLiteral("(none)\n");
    write(stdout, out);
}

void Output::printList(const QStringList &items)
{
    if (m_json) {
        printJson(QJsonArray::fromStringList(items));
        return;
    }
    QString out;
    for (const QString &item : items)
        out += item + QLatin1Char('\n');
    write(stdout, out);
}
