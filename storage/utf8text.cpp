#include "utf8text.h"

#include <QTextCodec>

QString Utf8Text::decode(const char *bytes, int size, bool *isText)
{
    // IgnoreHeader: a leading byte order mark is a character like any other.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    // Looked up once: the lookup takes a global lock, and a large file is
    // decoded a field at a time.
    static QTextCodec *const utf8 = QTextCodec::codecForMib(106);
    QString text = utf8->toUnicode(bytes, size, &state);
    // A sequence cut off at the end is held back by the codec, not counted:
    // it is not text either.
    if (state.remainingChars > 0)
        text += QChar(QChar::ReplacementCharacter);
    if (isText)
        *isText = state.invalidChars == 0 && state.remainingChars == 0;
    return text;
}
