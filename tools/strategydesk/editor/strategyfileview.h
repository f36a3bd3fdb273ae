#ifndef STRATEGYFILEVIEW_H
#define STRATEGYFILEVIEW_H

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
// (askReload). A missing or unreadable file is shown as such. Thread: GUI.
class StrategyFileView : public QWidget
{
    Q_OBJECT

public:
    explicit StrategyFileView(QWidget *parent = nullptr);

    // Shows `path` (empty: nothing selected); `locked` makes it read-only.
    void showFile(const QString &path, bool locked);
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
    // False, with saveFailed(), when the file could not be written.
    bool save();
    void reload();

signals:
    void saved(const QString &path);
    void saveFailed(const QString &message);

private:
    void fileChangedOnDisk(const QString &path);

    CodeEditor *m_editor = nullptr;
    QLabel *m_notice = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
    QString m_path;
    bool m_locked = false;
    bool m_missing = false;
};

#endif // STRATEGYFILEVIEW_H
