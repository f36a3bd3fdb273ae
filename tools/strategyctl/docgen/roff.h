#ifndef ROFF_H
#define ROFF_H

#include <QString>

// Text for roff with the man macros, as the manual page needs it.
class Roff
{
public:
    // How a text is set: prose, or words meant to be typed as they are
    // (commands, options, paths), where every hyphen is a minus sign and
    // quotes stay straight.
    enum class Style { Prose, Literal };

    // `text` for roff: backslashes as \e, characters beyond ASCII as
    // \[uXXXX] (so that the page is read the same whatever encoding the
    // formatter assumes), minus signs as \-, control characters as spaces,
    // a break point after the slashes of paths. Dots and quotes at the
    // start of a line are left to line().
    static QString escape(const QString &text, Style style = Style::Prose);
    // One text line of roff, from escaped text: a leading dot or quote
    // would make it a request, leading spaces a break. No text gives no
    // line (a blank line would add vertical space).
    static QString line(const QString &escaped);
    // A macro argument: in double quotes, a double quote inside as \(dq.
    static QString argument(const QString &text, Style style = Style::Prose);
    static QString bold(const QString &text);
    static QString italic(const QString &text);
};

#endif // ROFF_H
