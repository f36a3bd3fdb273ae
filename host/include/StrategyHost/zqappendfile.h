#ifndef ZQAPPENDFILE_H
#define ZQAPPENDFILE_H

#include <QByteArray>
#include <QString>

// A file that grows by appends only, such as the plug-in's history of
// changes: every append goes to the end of the file, also when another
// descriptor of the file appended in between, and is made by one write of
// the system, so that a process that dies leaves whole appends behind, or
// at worst an unfinished last one.
//
// The object names one path (fileName()) for its whole life and holds at
// most one descriptor of it, opened for reading and appending and closed
// on exec, so that a program the host starts does not inherit it. It is
// closed by close(), rename(), remove() and the destructor.
//
// Every call answers whether it succeeded; after a failure, error() is the
// system's error number and errorString() its text. Threads: an object is
// used by one thread at a time; objects of the same file may be used on
// different threads (the appends stay whole).
class ZqAppendFile
{
public:
    explicit ZqAppendFile(const QString &fileName);
    ~ZqAppendFile();
    ZqAppendFile(const ZqAppendFile &) = delete;
    ZqAppendFile &operator=(const ZqAppendFile &) = delete;

    QString fileName() const;

    // Opens the file for reading and appending, creating it (mode 0666
    // before the umask) when there is none. A file already open stays.
    bool open();
    bool isOpen() const;
    void close();

    // Whether the open file is a regular file, and its size in bytes.
    bool status(bool *isRegular, qint64 *size);
    // Reads up to `size` bytes at `offset` into `data`, wherever appends
    // are: the number of bytes read (fewer at the end of the file), or -1.
    qint64 readAt(qint64 offset, char *data, qint64 size);
    // Appends `data` whole, with one write, repeated when a signal
    // interrupts it before anything is written. A write the system takes
    // only partly (a full disk, a file size limit) fails with ENOSPC: what
    // went in stays, and the caller decides whether to truncate() it away.
    bool append(const QByteArray &data);
    // Cuts the open file to `size` bytes.
    bool truncate(qint64 size);

    // Closes the file and moves it to `newName`, replacing a file there;
    // the object keeps naming fileName(), where open() starts a new file.
    bool rename(const QString &newName);
    // Closes the file and removes it from its folder.
    bool remove();

    // The system's error number of the last failed call; 0 before any.
    int error() const;
    // The system's text for error(), for a log line.
    QString errorString() const;

private:
    bool fail(int code);

    QString m_fileName;
    QByteArray m_encodedName;
    int m_fd = -1;
    int m_error = 0;
};

#endif // ZQAPPENDFILE_H
