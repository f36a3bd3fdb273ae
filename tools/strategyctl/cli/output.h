#ifndef OUTPUT_H
#define OUTPUT_H

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <functional>

// Everything strategyctl prints. Human output is aligned text; with --json
// every answer is one JSON document (one compact line each inside `shell`).
// Results go to stdout, refusals and usage errors to stderr. Thread: main.
class Output
{
public:
    Output(bool json, bool compact);

    bool isJson() const { return m_json; }
    // Whether something meant for stdout could not be written (a closed
    // pipe, a full disk), and why.
    bool stdoutFailed() const { return m_stdoutFailed; }
    QString stdoutError() const { return m_stdoutError; }

    // While deferred, what goes to stdout is held back until
    // endDeferral(): a one-shot command's "ok" is printed only once its
    // change has been written at shutdown. Errors are never held back.
    void deferStdout();
    void endDeferral(bool print);

    void printJson(const QJsonValue &value);
    void printLine(const QString &text);
    void printError(const QString &text);
    // A failure of `kind` (usage, refused, notFound, unchanged, busy, io):
    // the message on stderr and, under --json, {"error": {"kind": ...,
    // "message": ...}} on stdout.
    void printFailure(const QString &kind, const QString &message);
    // Help text on stdout; under --json {"help": TEXT}, so that a shell's
    // output stays one JSON document per line.
    void printHelp(const QString &text);
    // Text on stdout as it is, whatever the mode (a script, a manual page).
    void printRaw(const QString &text);

    // One record: aligned "key  value" lines, or a JSON object.
    void printRecord(const QStringList &keys, const QJsonObject &record);
    // Records as a table with the given columns, or a JSON array.
    void printRecords(const QStringList &columns, const QList<QJsonObject> &records);
    // The same table (text only) of `rows` rows whose cells `value` gives:
    // a large listing needs no object per record.
    void printTable(const QStringList &columns, int rows, const std::function<QJsonValue(int row, int column)> &value);
    // A list of texts, one per line, or a JSON array of strings.
    void printList(const QStringList &items);

    // A value as people read it: "-" for null and empty, times as
    // "yyyy-MM-dd HH:mm:ss", control characters as visible escapes (\n,
    // \x1b), so that no value can move the cursor of a terminal.
    static QString text(const QJsonValue &value);
    // `text` quoted the way the shell reads it back, when it holds blanks,
    // quotes or nothing at all; as it is otherwise.
    static QString quoted(const QString &text);
    // Columns taken on a terminal (wcwidth of the C.UTF-8 locale): East
    // Asian wide characters and emoji take two, combining marks none.
    static int displayWidth(const QString &text);

private:
    void write(FILE *stream, const QString &text);
    void writeBytes(FILE *stream, const QByteArray &bytes);

    bool m_json;
    bool m_compact;
    bool m_deferred = false;
    bool m_stdoutFailed = false;
    QString m_stdoutError;
    QByteArray m_held;
};

#endif // OUTPUT_H
