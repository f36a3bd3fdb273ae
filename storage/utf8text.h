#ifndef UTF8TEXT_H
#define UTF8TEXT_H

#include <QString>

// Decodes the plug-in's files: UTF-8 by their whole length, a byte order
// mark kept as the character it is (U+FEFF) wherever it stands, so that
// what is read is what was written.
class Utf8Text
{
public:
    // The text of the bytes; *isText false when some bytes are not UTF-8
    // (they read as U+FFFD), a sequence cut off at the end included.
    static QString decode(const char *bytes, int size, bool *isText = nullptr);
};

#endif // UTF8TEXT_H
