#include "editor/strategyfileview.h"

#include "editor/codeeditor.h"

#include <StrategyLogic/wholefile.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {

// A strategy is a script: a file beyond this is no strategy, and a text
// editor would stall the window for long on it.
constexpr qint64 MaxShownBytes = 16 * 1024 * 1024;

const QByteArray &byteOrderMark()
{
    static const QByteArray mark("\xEF\xBB\xBF");
    return mark;
}

} // namespace

bool StrategyFileView::DiskFile::sameAs(const DiskFile &other) const
{
    return exists == other.exists && isFolder == other.isFolder && readable == other.readable
        && error == other.error && bytes == other.bytes;
}

StrategyFileView::StrategyFileView(QWidget *parent)
    : QWidget(parent)
    , m_editor(new CodeEditor(this))
    , m_notice(new QLabel(this))
    , m_watcher(new QFileSystemWatcher(this))
{
    m_notice->setWordWrap(true);
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_notice->setMargin(4);
    m_notice->setAutoFillBackground(true);
    m_notice->setBackgroundRole(QPalette::ToolTipBase);
    m_notice->setForegroundRole(QPalette::ToolTipText);
    m_notice->hide();
    m_editor->setAccessibleName(tr("Strategy file"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_notice);
    layout->addWidget(m_editor);

    // An atomic replace (ours or another program's) is reported on the file
    // it removed; a missing file's folder is watched for the file to come.
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &StrategyFileView::fileChangedOnDisk);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &StrategyFileView::fileChangedOnDisk);

    auto *saveShortcut = new QShortcut(QKeySequence::Save, this);
    saveShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(saveShortcut, &QShortcut::activated, this, &StrategyFileView::save);

    askReload = [this](const QString &path) {
        return QMessageBox::question(this, tr("File changed on disk"),
                                     tr("%1 has changed on disk. Reload it and drop your unsaved edits?").arg(path),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    };

    load(DiskFile(), false);
}

void StrategyFileView::showFile(const QString &path, bool locked)
{
    m_path = path;
    m_locked = locked;
    load(readDisk(path), false);
}

void StrategyFileView::setLocked(bool locked)
{
    m_locked = locked;
    updateReadOnly();
}

bool StrategyFileView::isModified() const
{
    return m_editor->document()->isModified();
}

QString StrategyFileView::notice() const
{
    return m_notice->text();
}

void StrategyFileView::reload()
{
    load(readDisk(m_path), true);
}

bool StrategyFileView::save()
{
    if (m_path.isEmpty()) {
        emit saveFailed(tr("No strategy file is shown."));
        return false;
    }
    if (m_editor->isReadOnly()) {
        emit saveFailed(notice());
        return false;
    }
    const QByteArray bytes = encodedText();
    QString error;
    if (!StrategyLogic::writeWholeFile(m_path, bytes, &error)) {
        emit saveFailed(tr("%1 could not be saved: %2").arg(m_path, error));
        return false;
    }
    m_disk = DiskFile();
    m_disk.exists = true;
    m_disk.readable = true;
    m_disk.bytes = bytes;
    m_editor->document()->setModified(false);
    // The replace gave the path a new file: the watch on the old one is gone.
    watch();
    emit saved(m_path);
    return true;
}

StrategyFileView::DiskFile StrategyFileView::readDisk(const QString &path)
{
    DiskFile file;
    if (path.isEmpty())
        return file;
    const QFileInfo info(path);
    file.exists = info.exists();
    if (!file.exists)
        return file;
    if (info.isDir()) {
        file.isFolder = true;
        return file;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        file.error = in.errorString();
        return file;
    }
    if (in.size() > MaxShownBytes) {
        file.error = tr("it is larger than %1 MiB").arg(MaxShownBytes / (1024 * 1024));
        return file;
    }
    // read() until the end rather than readAll(): a file that grows while
    // it is read, or a device that reports no size, is read to its end, and
    // a read error is told from an empty file.
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0) {
            file.error = in.errorString();
            return file;
        }
        if (n == 0)
            break;
        bytes.append(buffer, int(n));
        if (bytes.size() > MaxShownBytes) {
            file.error = tr("it is larger than %1 MiB").arg(MaxShownBytes / (1024 * 1024));
            return file;
        }
    }
    file.readable = true;
    file.bytes = bytes;
    return file;
}

void StrategyFileView::load(const DiskFile &file, bool keepPosition)
{
    const int cursor = m_editor->textCursor().position();
    const int vertical = m_editor->verticalScrollBar()->value();
    const int horizontal = m_editor->horizontalScrollBar()->value();

    m_disk = file;
    m_missing = false;
    m_crlf = false;
    m_byteOrderMark = false;
    m_fileProblem.clear();
    QString text;
    if (m_path.isEmpty()) {
        m_state = FileState::None;
    } else if (!file.exists) {
        m_state = FileState::Missing;
        m_missing = true;
        m_fileProblem = tr("The file %1 does not exist.").arg(m_path);
    } else if (file.isFolder) {
        m_state = FileState::Unreadable;
        m_fileProblem = tr("%1 is a folder, not a file.").arg(m_path);
    } else if (!file.readable) {
        m_state = FileState::Unreadable;
        m_fileProblem = tr("The file %1 cannot be read: %2.").arg(m_path, file.error);
    } else {
        QByteArray body = file.bytes;
        if (body.startsWith(byteOrderMark())) {
            m_byteOrderMark = true;
            body.remove(0, byteOrderMark().size());
        }
        m_crlf = body.contains("\r\n");
        // With the size: QString::fromUtf8(QByteArray) would end at a NUL.
        text = QString::fromUtf8(body.constData(), body.size());
        if (m_crlf)
            text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        m_state = FileState::Readable;
    }

    m_editor->setPlainText(text);
    if (m_state == FileState::Readable && encodedText() != file.bytes) {
        // Shown as well as it goes, but a save would write other bytes than
        // the user's: invalid UTF-8 would become U+FFFD, a lone CR or a
        // line ending of the other kind would change.
        m_state = FileState::NotRoundTrip;
        QByteArray body = file.bytes.mid(m_byteOrderMark ? byteOrderMark().size() : 0);
        if (QString::fromUtf8(body.constData(), body.size()).toUtf8() != body) {
            m_fileProblem = tr("%1 is not UTF-8 text: the bytes that are not are shown as \uFFFD. It is read-only "
                               "here, since saving it would change those bytes.")
                                .arg(m_path);
        } else {
            m_fileProblem = tr("%1 has line endings or characters that the editor would change: it is read-only "
                               "here, since saving it would change its bytes.")
                                .arg(m_path);
        }
    }
    m_editor->document()->setModified(false);
    if (keepPosition) {
        QTextCursor restored = m_editor->textCursor();
        restored.setPosition(qMin(cursor, m_editor->document()->characterCount() - 1));
        m_editor->setTextCursor(restored);
        m_editor->verticalScrollBar()->setValue(vertical);
        m_editor->horizontalScrollBar()->setValue(horizontal);
    }
    updateReadOnly();
    watch();
}

void StrategyFileView::updateReadOnly()
{
    m_editor->setReadOnly(m_locked || m_state != FileState::Readable);
    QStringList lines;
    if (m_locked && !m_path.isEmpty())
        lines << tr("%1 is locked: unlock it to edit.").arg(m_path);
    if (!m_fileProblem.isEmpty())
        lines << m_fileProblem;
    m_notice->setText(lines.join(QLatin1Char('\n')));
    m_notice->setVisible(!lines.isEmpty());
}

void StrategyFileView::watch()
{
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    if (m_path.isEmpty())
        return;
    const QFileInfo info(m_path);
    if (info.exists())
        m_watcher->addPath(m_path);
    else if (info.absoluteDir().exists())
        m_watcher->addPath(info.absolutePath());
}

void StrategyFileView::fileChangedOnDisk()
{
    if (m_path.isEmpty())
        return;
    if (m_asking) {
        m_changedWhileAsking = true;
        return;
    }
    const DiskFile now = readDisk(m_path);
    // Also after a change that leaves the same bytes: a replaced or
    // recreated file is a new one to watch.
    watch();
    if (now.sameAs(m_disk))
        return;
    if (!isModified()) {
        load(now, true);
        return;
    }

    const QString path = m_path;
    m_asking = true;
    m_changedWhileAsking = false;
    // The question's event loop may close the window and this view with it.
    // A copy called: the function lives in the view.
    const QPointer<StrategyFileView> alive(this);
    const std::function<bool(const QString &)> ask = askReload;
    const bool reloadIt = ask ? ask(path) : false;
    if (!alive)
        return;
    m_asking = false;
    if (m_path != path)
        return;
    if (reloadIt) {
        load(readDisk(m_path), true);
        return;
    }
    // The edits stay; this state of the file is known now, and only a
    // change after it asks again.
    m_disk = now;
    if (m_changedWhileAsking)
        fileChangedOnDisk();
}

QByteArray StrategyFileView::encodedText() const
{
    // Block by block, not toPlainText(), which turns no-break spaces into
    // spaces.
    QString text;
    for (QTextBlock block = m_editor->document()->begin(); block.isValid(); block = block.next()) {
        if (block != m_editor->document()->begin())
            text += QLatin1Char('\n');
        text += block.text();
    }
    if (m_crlf)
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    QByteArray bytes;
    if (m_byteOrderMark)
        bytes = byteOrderMark();
    bytes += text.toUtf8();
    return bytes;
}
