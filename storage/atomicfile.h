#ifndef ATOMICFILE_H
#define ATOMICFILE_H

#include <QByteArray>
#include <QString>

// Replaces a file whole: the content goes to a temporary file in the same
// folder, which is renamed over the old file only once every byte has been
// written, so a reader or a process killed at any moment sees the old file
// or the new one, never a mixture or an empty file. The one writer of whole
// files of the library; StrategyLogic::writeWholeFile() offers it to hosts.
class AtomicFile
{
public:
    // Whether a missing folder of the file is made.
    enum Folder {
        CreateFolder,    // the plug-in's own files, whose folders it owns
        FolderMustExist, // a file a user named: a missing folder is a mistake in the path
    };
    // False with a reason when the old file (or none) stays: folder, disk
    // full, no access, ...
    static bool replace(const QString &path, const QByteArray &content, QString *error,
                        Folder folder = CreateFolder);
};

#endif // ATOMICFILE_H
