#ifndef STRICTJSONREADER_H
#define STRICTJSONREADER_H

#include <StrategyLogic/strategybundle.h>

#include <QJsonValue>
#include <QList>
#include <QString>

// Reads JSON text (RFC 8259) into Qt's JSON values. Unlike QJsonDocument it
// keeps what a check has to name instead of dropping or refusing it: a
// member given twice (QJsonDocument silently keeps the last; this reader
// keeps the first and reports the second), and numbers that are not finite
// (NaN, Infinity and -Infinity as Python writes them, or beyond the range
// of a double), kept as such. Values nested deeper than MaxDepth are
// refused rather than read on the stack. Problems name their place as JSON
// pointers. Thread: any; one object reads one text.
class StrictJsonReader
{
public:
    // Far above a bundle's own depth of three.
    static constexpr int MaxDepth = 64;

    explicit StrictJsonReader(const QString &text);

    // False, with a problem, for text that is not JSON (its line and
    // column in the message); members given twice are added to `problems`
    // either way.
    bool read(QJsonValue *value, QList<StrategyLogic::BundleProblem> *problems);

private:
    bool fail(const QString &pointer, const QString &what);
    QChar peek() const { return m_pos < m_text.size() ? m_text.at(m_pos) : QChar(); }
    void skipBlanks();
    bool literal(const QString &word);
    bool parseValue(QJsonValue *out, const QString &pointer, int depth);
    bool parseNumber(QJsonValue *out, const QString &pointer);
    bool hex4(uint *unit);
    bool parseString(QString *out, const QString &pointer);
    bool parseEscape(QString *text, const QString &pointer);
    bool parseObject(QJsonValue *out, const QString &pointer, int depth);
    bool parseArray(QJsonValue *out, const QString &pointer, int depth);

    QString m_text;
    int m_pos = 0;
    QList<StrategyLogic::BundleProblem> *m_problems = nullptr;
};

#endif // STRICTJSONREADER_H
