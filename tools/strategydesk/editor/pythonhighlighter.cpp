#include "editor/pythonhighlighter.h"

#include <QSet>
#include <QStringList>

namespace {

const QSet<QString> &keywords()
{
    static const QSet<QString> words = {
        QStringLiteral("False"),  QStringLiteral("None"),     QStringLiteral("True"),    QStringLiteral("and"),
        QStringLiteral("as"),     QStringLiteral("assert"),   QStringLiteral("async"),   QStringLiteral("await"),
        QStringLiteral("break"),  QStringLiteral("class"),    QStringLiteral("continue"), QStringLiteral("def"),
        QStringLiteral("del"),    QStringLiteral("elif"),     QStringLiteral("else"),    QStringLiteral("except"),
        QStringLiteral("finally"), QStringLiteral("for"),     QStringLiteral("from"),    QStringLiteral("global"),
        QStringLiteral("if"),     QStringLiteral("import"),   QStringLiteral("in"),      QStringLiteral("is"),
        QStringLiteral("lambda"), QStringLiteral("nonlocal"), QStringLiteral("not"),     QStringLiteral("or"),
        QStringLiteral("pass"),   QStringLiteral("raise"),    QStringLiteral("return"),  QStringLiteral("try"),
        QStringLiteral("while"),  QStringLiteral("with"),     QStringLiteral("yield"),
    };
    return words;
}

// The built-ins a strategy uses most; a name that shadows one is still
// shown as the built-in, as most editors do.
const QSet<QString> &builtins()
{
    static const QSet<QString> words = {
        QStringLiteral("abs"),   QStringLiteral("bool"),   QStringLiteral("dict"),      QStringLiteral("enumerate"),
        QStringLiteral("float"), QStringLiteral("int"),    QStringLiteral("isinstance"), QStringLiteral("len"),
        QStringLiteral("list"),  QStringLiteral("map"),    QStringLiteral("max"),       QStringLiteral("min"),
        QStringLiteral("open"),  QStringLiteral("print"),  QStringLiteral("range"),     QStringLiteral("round"),
        QStringLiteral("set"),   QStringLiteral("sorted"), QStringLiteral("str"),       QStringLiteral("sum"),
        QStringLiteral("super"), QStringLiteral("tuple"),  QStringLiteral("zip"),
    };
    return words;
}

bool isIdentifierStart(QChar c)
{
    return c == QLatin1Char('_') || c.isLetter();
}

bool isIdentifierPart(QChar c)
{
    return c == QLatin1Char('_') || c.isLetterOrNumber() || c.isMark();
}

bool isQuote(QChar c)
{
    return c == QLatin1Char('\'') || c == QLatin1Char('"');
}

// The letters that may stand before a string's quote: r, b, u, f and the
// pairs of r with b or f, in either case.
bool isStringPrefix(const QString &word)
{
    if (word.size() > 2)
        return false;
    const QString lower = word.toLower();
    return lower == QLatin1String("r") || lower == QLatin1String("b") || lower == QLatin1String("u")
        || lower == QLatin1String("f") || lower == QLatin1String("rb") || lower == QLatin1String("br")
        || lower == QLatin1String("rf") || lower == QLatin1String("fr");
}

} // namespace

PythonHighlighter::PythonHighlighter(QTextDocument *document)
    : QSyntaxHighlighter(document)
    // Decimal, hexadecimal, octal and binary integers, floats with an
    // exponent and imaginary numbers, with the underscores Python allows.
    , m_number(QStringLiteral("0[xX][0-9a-fA-F_]+|0[oO][0-7_]+|0[bB][01_]+"
                              "|(?:[0-9][0-9_]*\\.?[0-9_]*|\\.[0-9][0-9_]*)(?:[eE][+-]?[0-9_]+)?[jJ]?"))
{
    // Dark enough for the default light palette; weight and slant set
    // keywords and comments apart for those who do not tell the colours apart.
    m_formats[Keyword].setForeground(QColor(0x00, 0x33, 0x99));
    m_formats[Keyword].setFontWeight(QFont::Bold);
    m_formats[Builtin].setForeground(QColor(0x00, 0x6e, 0x6e));
    m_formats[Number].setForeground(QColor(0x99, 0x45, 0x00));
    m_formats[String].setForeground(QColor(0x06, 0x7d, 0x17));
    m_formats[Comment].setForeground(QColor(0x6a, 0x6a, 0x6a));
    m_formats[Comment].setFontItalic(true);
    m_formats[Decorator].setForeground(QColor(0x80, 0x30, 0x90));
}

int PythonHighlighter::stringEnd(const QString &text, int from, QChar quote, bool triple)
{
    // A backslash escapes the next character, in raw strings too as far as
    // where the string ends is concerned (r"\"" is one string).
    for (int i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\')) {
            ++i;
            continue;
        }
        if (c != quote)
            continue;
        if (!triple)
            return i + 1;
        if (i + 2 < text.size() && text.at(i + 1) == quote && text.at(i + 2) == quote)
            return i + 3;
    }
    return -1;
}

void PythonHighlighter::highlightBlock(const QString &text)
{
    setCurrentBlockState(NoString);
    int i = 0;

    const int open = previousBlockState();
    if (open == InTripleSingle || open == InTripleDouble) {
        const QChar quote = open == InTripleSingle ? QLatin1Char('\'') : QLatin1Char('"');
        const int end = stringEnd(text, 0, quote, true);
        if (end < 0) {
            setFormat(0, text.size(), m_formats[String]);
            setCurrentBlockState(open);
            return;
        }
        setFormat(0, end, m_formats[String]);
        i = end;
    }

    // Only white space so far on this line: where a decorator may start.
    bool lineStart = i == 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('#')) {
            setFormat(i, text.size() - i, m_formats[Comment]);
            return;
        }
        const bool atLineStart = lineStart;
        lineStart = false;

        int stringStart = -1;
        int quoteAt = -1;
        if (isQuote(c)) {
            stringStart = quoteAt = i;
        } else if (isIdentifierStart(c)) {
            int end = i + 1;
            while (end < text.size() && isIdentifierPart(text.at(end)))
                ++end;
            const QString word = text.mid(i, end - i);
            if (end < text.size() && isQuote(text.at(end)) && isStringPrefix(word)) {
                stringStart = i;
                quoteAt = end;
            } else {
                if (keywords().contains(word))
                    setFormat(i, end - i, m_formats[Keyword]);
                else if (builtins().contains(word))
                    setFormat(i, end - i, m_formats[Builtin]);
                i = end;
                continue;
            }
        }

        if (stringStart >= 0) {
            const QChar quote = text.at(quoteAt);
            const bool triple = quoteAt + 2 < text.size() && text.at(quoteAt + 1) == quote
                && text.at(quoteAt + 2) == quote;
            const int bodyStart = quoteAt + (triple ? 3 : 1);
            const int end = stringEnd(text, bodyStart, quote, triple);
            if (end < 0) {
                // An unclosed one-line string is shown to the line's end; an
                // unclosed triple-quoted one goes on in the next block.
                setFormat(stringStart, text.size() - stringStart, m_formats[String]);
                if (triple)
                    setCurrentBlockState(quote == QLatin1Char('\'') ? InTripleSingle : InTripleDouble);
                return;
            }
            setFormat(stringStart, end - stringStart, m_formats[String]);
            i = end;
            continue;
        }

        if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < text.size() && text.at(i + 1).isDigit())) {
            const QRegularExpressionMatch match =
                m_number.match(text, i, QRegularExpression::NormalMatch, QRegularExpression::AnchoredMatchOption);
            const int length = match.hasMatch() ? match.capturedLength() : 1;
            setFormat(i, length, m_formats[Number]);
            i += length;
            continue;
        }

        if (c == QLatin1Char('@') && atLineStart) {
            int end = i + 1;
            while (end < text.size() && (isIdentifierPart(text.at(end)) || text.at(end) == QLatin1Char('.')))
                ++end;
            if (end > i + 1)
                setFormat(i, end - i, m_formats[Decorator]);
            i = end;
            continue;
        }
        ++i;
    }
}
