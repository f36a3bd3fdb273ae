#ifndef STRATEGYFILEVIEW_H
#define STRATEGYFILEVIEW_H

#include <QByteArray>
#include <QWidget>

#include <functional>

class CodeEditor;
class QFileSystemWatcher;
class QLabel;

// The selected strategy's file: its text with line numbers and Python
// highlighting. While the file is locked the editor is read-only and a line
// above it says why; while unlocked it can be edited and saved (Ctrl+S),
// the file replaced whole as the plug-in writes its own files. A file
// changed on disk is reloaded, or, with unsaved edits, the user is asked
// (askReload). A missing or unreadable file is shown as such.
//
// A save writes back exactly the bytes that were read where the text was
// not edited: the text as UTF-8, the file's line endings (LF or CRLF) and
// byte order mark kept, a final newline neither added nor dropped. A file
// that would not come back byte for byte (bytes that are not UTF-8, mixed
// line endings, ...) is shown read-only, its undecodable bytes as U+FFFD,
// so that a save cannot damage it. Thread: GUI.
class StrategyFileView : public QWidget
{
    Q_OBJECT

public:
    explicit StrategyFileView(QWidget *parent = nullptr);

    // Shows `path` (empty: nothing selected); `locked` makes it read-only.
    // Unsaved edits of the file shown before are dropped: ask isModified()
    // first.
    void showFile(const QString &path, bool locked);
    // Unsaved edits stay (read-only while locked).
    void setLocked(bool locked);

    QString filePath() const { return m_path; }
    bool isLocked() const { return m_locked; }
    bool isMissing() const { return m_missing; }
    bool isModified() const;
    CodeEditor *editor() const { return m_editor; }
    // The line above the editor: why it is read-only, that the file is
    // missing, or empty.
    QString notice() const;

    // Whether to reload a file changed on disk over unsaved edits; the
    // default asks with a message box.
    std::function<bool(const QString &path)> askReload;

public slots:
    // False, with saveFailed(), when the file could not be written (the
    // edits then stay, isModified() true) or is read-only here.
    bool save();
    // Reads the file again; unsaved edits are dropped.
    void reload();

signals:
    void saved(const QString &path);
    void saveFailed(const QString &message);

private:
    // What the view knows of the file on disk, apart from the lock.
    enum class FileState { None, Readable, Missing, Unreadable, NotRoundTrip };
    // The file as read from disk at one moment.
    struct DiskFile
    {
        bool exists = false;
        bool isFolder = false;
        bool readable = false;
        QString error;
        QByteArray bytes;
        bool sameAs(const DiskFile &other) const;
    };

    static DiskFile readDisk(const QString &path);
    void fileChangedOnDisk();
    void load(const DiskFile &file, bool keepPosition);
    void updateReadOnly();
    void watch();
    // The editor's text as the bytes a save writes.
    QByteArray encodedText() const;

    CodeEditor *m_editor = nullptr;
    QLabel *m_notice = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
    QString m_path;
    bool m_locked = false;
    bool m_missing = false;

    FileState m_state = FileState::None;
    // Why the file cannot be shown or saved, for the notice.
    QString m_fileProblem;
    // The file as last read or written here: a watcher event that finds
    // the same, such as the one after a save of our own, is no change from
    // outside.
    DiskFile m_disk;
    bool m_crlf = false;
    bool m_byteOrderMark = false;
    // A question about a change on disk is open (its message box runs an
    // event loop, in which the watcher reports again).
    bool m_asking = false;
    bool m_changedWhileAsking = false;
};

#endif // STRATEGYFILEVIEW_H
