#ifndef STRICTJSONREADER_H
#define STRICTJSONREADER_H

#include "bundle/bundleproblems.h"

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QVector>

// Reads JSON text (RFC 8259) into Qt's JSON values. Unlike QJsonDocument it
// keeps what a check has to name instead of dropping or refusing it: a
// member given twice (QJsonDocument silently keeps the last; this reader
// keeps the first and reports the second), and numbers that are not finite
// (NaN, Infinity and -Infinity as Python writes them, or beyond the range
// of a double), kept as such. Values nested deeper than MaxDepth are
// refused rather than read on the stack. Problems name their place as JSON
// pointers.
//
// The time is linear in the length of the text, whatever it holds: every
// character is looked at a bounded number of times, a value's pointer is
// spelled only for a problem, and an object's members are handed to
// QJsonObject in its own key order, so that none is inserted before others.
// Thread: any; one object reads one text.
class StrictJsonReader
{
public:
    // Far above a bundle's own depth of three.
    static constexpr int MaxDepth = 64;

    explicit StrictJsonReader(const QString &text);

    // False, with a problem, for text that is not JSON (its line and
    // column in the message); members given twice are added to `problems`
    // either way.
    bool read(QJsonValue *value, BundleProblems *problems);

private:
    // One step of the path from the document to the value being read: a
    // member's name or an element's index.
    struct Step
    {
        bool isElement = false;
        int index = 0;
        QString name;
    };

    // The pointer of the value being read, spelled from the path.
    QString pointer() const;
    bool fail(const QString &what);
    QChar peek() const { return m_pos < m_size ? m_data[m_pos] : QChar(); }
    bool isDigit(int at) const { return at < m_size && m_data[at] >= QLatin1Char('0') && m_data[at] <= QLatin1Char('9'); }
    int digitsFrom(int at) const;
    void skipBlanks();
    bool literal(QLatin1String word);
    bool parseValue(QJsonValue *out, int depth);
    bool parseNumber(QJsonValue *out);
    bool hex4(uint *unit);
    bool parseString(QString *out);
    bool parseEscape(QString *text);
    bool parseObject(QJsonValue *out, int depth);
    bool parseArray(QJsonValue *out, int depth);

    QString m_text;
    const QChar *m_data = nullptr;
    int m_size = 0;
    int m_pos = 0;
    QVector<Step> m_path;
    BundleProblems *m_problems = nullptr;
};

#endif // STRICTJSONREADER_H
