#ifndef CODEEDITOR_H
#define CODEEDITOR_H

#include <QPlainTextEdit>

class PythonHighlighter;

// A plain-text editor with line numbers in a margin on its left and Python
// highlighting, in a fixed-width font. Thread: GUI.
class CodeEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CodeEditor(QWidget *parent = nullptr);

    int lineNumberAreaWidth() const;
    void paintLineNumbers(QPaintEvent *event);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateLineNumberAreaWidth();
    void updateLineNumberArea(const QRect &rect, int dy);

    QWidget *m_lineNumbers = nullptr;
    PythonHighlighter *m_highlighter = nullptr;
};

#endif // CODEEDITOR_H
