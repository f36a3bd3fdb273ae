#ifndef BUNDLETEXT_H
#define BUNDLETEXT_H

#include <QJsonValue>
#include <QString>

// What the bundle's readers and its importer write into their messages:
// JSON pointers (RFC 6901) and the values they quote. Thread: any.
namespace BundleText {

// The pointer of the member `name` of the value at `pointer`: "~" and "/"
// in the name become "~0" and "~1".
QString member(const QString &pointer, const QString &name);
// The pointer of the element `index` (from 0) of the array at `pointer`.
QString element(const QString &pointer, int index);

// A text in a message: quoted as a shell reads it back when it holds blanks
// or quotes or is empty, control characters as visible escapes (\n, \x1b),
// so that a message shown on a terminal cannot move its cursor.
QString shown(const QString &text);
// A value in a message: texts as above, numbers as JSON writes them (NaN,
// Infinity and -Infinity by those names), null as "-".
QString shown(const QJsonValue &value);
// "a text", "a number", "an object", ...: what a value is, for "expected
// ..., not KIND".
QString kindOf(const QJsonValue &value);

} // namespace BundleText

#endif // BUNDLETEXT_H
