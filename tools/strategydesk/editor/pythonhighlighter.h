#ifndef PYTHONHIGHLIGHTER_H
#define PYTHONHIGHLIGHTER_H

#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QVector>

// Python's keywords, built-ins, numbers, strings (also triple-quoted ones
// over several lines), comments and decorators, each in a format of its
// own. A block's state is the triple-quoted string still open at its end
// (NoString, or the quote it waits for), so that an edit in one line
// rehighlights the lines below it as far as that changes. Thread: GUI.
class PythonHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    enum Kind { Keyword, Builtin, Number, String, Comment, Decorator, KindCount };

    explicit PythonHighlighter(QTextDocument *document);

    QTextCharFormat format(Kind kind) const { return m_formats[kind]; }

protected:
    void highlightBlock(const QString &text) override;

private:
    enum BlockState { NoString = 0, InTripleSingle = 1, InTripleDouble = 2 };

    // The end of the string whose body starts at `from` (after its opening
    // quotes), or -1 when it does not end on this line.
    static int stringEnd(const QString &text, int from, QChar quote, bool triple);

    QTextCharFormat m_formats[KindCount];
    QRegularExpression m_number;
};

#endif // PYTHONHIGHLIGHTER_H
