#ifndef PYTHONHIGHLIGHTER_H
#define PYTHONHIGHLIGHTER_H

#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QVector>

// Python's keywords, built-ins, numbers, strings (also triple-quoted ones
// over several lines), comments and decorators, each in a format of its
// own. Thread: GUI.
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
    QTextCharFormat m_formats[KindCount];
};

#endif // PYTHONHIGHLIGHTER_H
