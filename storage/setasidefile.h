#ifndef SETASIDEFILE_H
#define SETASIDEFILE_H

#include <QString>

// Keeps a file (or folder) that the plug-in cannot use out of its way
// without losing it: renamed to "<path>.unreadable-<yyyyMMdd-hhmmss>" in
// the same folder, with "-2", "-3", ... added when that name is taken.
class SetAsideFile
{
public:
    // The new name, or an empty string with the reason when the rename
    // failed (the file then stays where it is).
    static QString move(const QString &path, QString *error = nullptr);
};

#endif // SETASIDEFILE_H
