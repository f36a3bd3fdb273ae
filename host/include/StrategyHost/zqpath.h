#ifndef ZQPATH_H
#define ZQPATH_H

#include <QString>

// Path components as the client's platform splits them: both the slash
// and the backslash end a directory part.
class ZqPath
{
public:
    // The last component.
    static QString fileName(const QString &path);
    // The last component up to, not including, its first full stop.
    static QString baseName(const QString &path);
};

#endif // ZQPATH_H
