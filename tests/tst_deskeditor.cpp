// The strategy file view of strategydesk: Python highlighting read back
// range by range, the line-number margin, and StrategyFileView on real
// files: what it shows and when it is read-only, saves byte for byte or
// failing with the edits kept, and changes on disk reloaded or asked about.

#include "testsupport.h"

#include "editor/codeeditor.h"
#include "editor/pythonhighlighter.h"
#include "editor/strategyfileview.h"

#include <StrategyLogic/wholefile.h>

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QPlainTextDocumentLayout>

#include <unistd.h>

namespace {

// The formats of a highlighted document as one letter per character, lines
// joined by '\n': k keyword, b built-in, n number, s string, c comment,
// d decorator, '.' none, '?' a format of none of these.
QString formatMask(QTextDocument &document, const PythonHighlighter &highlighter)
{
    static const char letters[] = "kbnscd";
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString line(block.length() - 1, QLatin1Char('.'));
        const QVector<QTextLayout::FormatRange> ranges = block.layout()->formats();
        for (const QTextLayout::FormatRange &range : ranges) {
            QChar letter = QLatin1Char('?');
            for (int kind = 0; kind < PythonHighlighter::KindCount; ++kind) {
                if (range.format == highlighter.format(PythonHighlighter::Kind(kind)))
                    letter = QLatin1Char(letters[kind]);
            }
            for (int i = range.start; i < range.start + range.length && i < line.size(); ++i)
                line[i] = letter;
        }
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void appendText(CodeEditor *editor, const QString &text)
{
    QTextCursor cursor = editor->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}

// The editor's lines as saved, joined by '\n'.
QString editorText(const StrategyFileView &view)
{
    return view.editor()->toPlainText();
}

} // namespace

class tst_DeskEditor : public QObject
{
    Q_OBJECT

private slots:
    void highlighting_data();
    void highlighting();
    void lineNumberMarginGrowsWithLines();

    void showFile_data();
    void showFile();
    void lockingKeepsEdits();

    void saveWritesExactBytes_data();
    void saveWritesExactBytes();
    void saveKeepsLinkAndPermissions();
    void saveShortcut();
    void saveFailureKeepsEdits_data();
    void saveFailureKeepsEdits();

    void changeOnDiskReloads_data();
    void changeOnDiskReloads();
    void removedAndRestoredFile();
    void changeOverUnsavedEditsAsks_data();
    void changeOverUnsavedEditsAsks();
    void changeWhileAskingAsksAgain();
    void viewClosedWhileAsking();
    void ownSaveIsNoChangeFromOutside();
};

void tst_DeskEditor::highlighting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mask");

    QTest::newRow("keywords and built-ins") << "def f(x): return len(x)"
                                            << "kkk.......kkkkkk.bbb...";
    QTest::newRow("keyword inside a name") << "define = ifx or None"
                                           << ".............kk.kkkk";
    QTest::newRow("# inside a string") << "s = \"a#b\"  # note"
                                       << "....sssss..cccccc";
    QTest::newRow("escaped quote") << "'it\\'s' + x"
                                   << "sssssss....";
    QTest::newRow("other quote inside") << "\"it's\" 'say \"hi\"'"
                                        << "ssssss.ssssssssss";
    QTest::newRow("unterminated string") << "x = 'abc # no"
                                         << "....sssssssss";
    QTest::newRow("string prefixes") << "rb'x' + f\"{y}\" + br"
                                     << "sssss...ssssss.....";
    QTest::newRow("numbers") << "a = 0x1F + 3.5e-2 + 10j + 1_000 + .5 + x2"
                             << "....nnnn...nnnnnn...nnn...nnnnn...nn.....";
    QTest::newRow("decorators at line start only") << "@staticmethod\n  @app.route('/')\nx @ y"
                                                   << "ddddddddddddd\n..dddddddddd.sss.\n.....";
    QTest::newRow("matrix product") << "m = a @b"
                                    << "........";
    QTest::newRow("triple-quoted string over blocks") << "x = \"\"\"one\ntwo # no 'x'\nend\"\"\" + 1 # c"
                                                      << "....ssssss\nssssssssssss\nssssss...n.ccc";
    QTest::newRow("single-quoted triple with a double quote") << "'''a\n\"\"\" b'''\nif"
                                                              << "ssss\nssssssss\nkk";
    QTest::newRow("escaped quote in a triple-quoted string") << "\"\"\"a\\\"\"\"\nb\"\"\""
                                                             << "ssssssss\nssss";
    QTest::newRow("Chinese text") << "name = '双均线'  # 策略"
                                  << ".......sssss..cccc";
}

void tst_DeskEditor::highlighting()
{
    QFETCH(QString, text);
    QFETCH(QString, mask);
    QTextDocument document;
    PythonHighlighter highlighter(&document);
    document.setPlainText(text);
    highlighter.rehighlight();
    QCOMPARE(formatMask(document, highlighter), mask);

    // The same text typed line by line: each block's state carried into the
    // next as the user types it.
    // A document reports edits only with a layout, as the editor's has.
    QTextDocument typed;
    typed.setDocumentLayout(new QPlainTextDocumentLayout(&typed));
    PythonHighlighter typedHighlighter(&typed);
    // Its first pass over the whole document, queued by the constructor;
    // until then it does not follow edits.
    QCoreApplication::processEvents();
    QTextCursor cursor(&typed);
    for (const QChar c : text)
        cursor.insertText(QString(c));
    QCOMPARE(formatMask(typed, typedHighlighter), mask);
}

void tst_DeskEditor::lineNumberMarginGrowsWithLines()
{
    CodeEditor editor;
    editor.resize(400, 300);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const int digit = editor.fontMetrics().horizontalAdvance(QLatin1Char('9'));
    QStringList lines;
    for (int i = 0; i < 99; ++i)
        lines << QStringLiteral("x = %1").arg(i);
    editor.setPlainText(lines.join(QLatin1Char('\n')));
    const int twoDigits = editor.lineNumberAreaWidth();
    const int twoDigitsLeft = editor.viewport()->geometry().left();
    QVERIFY(twoDigitsLeft >= twoDigits);
    // Two digits' room at least: nine lines take as much as 99.
    editor.setPlainText(lines.mid(0, 9).join(QLatin1Char('\n')));
    QCOMPARE(editor.lineNumberAreaWidth(), twoDigits);

    // Typed at the end, out of sight, the hundredth line widens the margin,
    // and the text moves right by as much, so that no number is drawn over it.
    editor.setPlainText(lines.join(QLatin1Char('\n')));
    editor.moveCursor(QTextCursor::Start);
    appendText(&editor, QStringLiteral("\nx = 99"));
    QCOMPARE(editor.blockCount(), 100);
    QCOMPARE(editor.lineNumberAreaWidth(), twoDigits + digit);
    QCOMPARE(editor.viewport()->geometry().left(), twoDigitsLeft + digit);

    for (int i = 99; i < 10000; ++i)
        lines << QStringLiteral("x = %1").arg(i);
    editor.setPlainText(lines.join(QLatin1Char('\n')));
    QCOMPARE(editor.blockCount(), 10000);
    QCOMPARE(editor.lineNumberAreaWidth(), twoDigits + 3 * digit);
    QCOMPARE(editor.viewport()->geometry().left(), twoDigitsLeft + 3 * digit);

    // Columns line up: a fixed-width font, a tab as wide as four spaces.
    QVERIFY(QFontInfo(editor.font()).fixedPitch());
    QCOMPARE(editor.fontMetrics().horizontalAdvance(QLatin1Char('i')),
             editor.fontMetrics().horizontalAdvance(QLatin1Char('W')));
    QCOMPARE(qRound(editor.tabStopDistance()), 4 * editor.fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    QCOMPARE(editor.lineWrapMode(), QPlainTextEdit::NoWrap);
}

void tst_DeskEditor::showFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("missing");
    // %1 the path; empty: no notice.
    QTest::addColumn<QString>("notice");

    const QByteArray code("def on_bar(bar):\n    pass\n");
    QTest::newRow("normal file") << "file" << code << false << QString::fromUtf8(code) << false << false
                                 << QString();
    QTest::newRow("locked file") << "file" << code << true << QString::fromUtf8(code) << true << false
                                 << "%1 is locked: unlock it to edit.";
    QTest::newRow("missing file") << "missing" << QByteArray() << false << QString() << true << true
                                  << "The file %1 does not exist.";
    QTest::newRow("missing and locked") << "missing" << QByteArray() << true << QString() << true << true
                                        << "%1 is locked: unlock it to edit.\nThe file %1 does not exist.";
    QTest::newRow("folder") << "folder" << QByteArray() << false << QString() << true << false
                            << "%1 is a folder, not a file.";
    QTest::newRow("not UTF-8") << "file" << QByteArray("a = '\xff\xfe'\n# \xe5\x9d\x87\n") << false
                               << QString::fromUtf8("a = '\xef\xbf\xbd\xef\xbf\xbd'\n# \xe5\x9d\x87\n") << true
                               << false << QString::fromUtf8("%1 is not UTF-8 text");
    QTest::newRow("UTF-8 cut in a character") << "file" << QByteArray("# \xe5\x9d") << false
                                              << QString::fromUtf8("# \xef\xbf\xbd\xef\xbf\xbd") << true << false
                                              << QString::fromUtf8("%1 is not UTF-8 text");
    QTest::newRow("mixed line endings") << "file" << QByteArray("a = 1\r\nb = 2\n") << false
                                        << QString("a = 1\nb = 2\n") << true << false
                                        << "%1 has line endings or characters that the editor would change";
    QTest::newRow("lone carriage return") << "file" << QByteArray("a = 1\rb = 2") << false
                                          << QString("a = 1\nb = 2") << true << false
                                          << "%1 has line endings or characters that the editor would change";
    QTest::newRow("CRLF file") << "file" << QByteArray("a = 1\r\nb = 2\r\n") << false
                               << QString("a = 1\nb = 2\n") << false << false << QString();
    QTest::newRow("NUL byte") << "file" << QByteArray("a\0b\n", 4) << false << QString::fromUtf8("a\0b\n", 4)
                              << false << false << QString();
    QTest::newRow("unreadable file") << "unreadable" << code << false << QString() << true << false
                                     << "The file %1 cannot be read: ";
}

void tst_DeskEditor::showFile()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    QFETCH(bool, locked);
    QFETCH(QString, text);
    QFETCH(bool, readOnly);
    QFETCH(bool, missing);
    QFETCH(QString, notice);

    if (kind == QLatin1String("unreadable") && ::geteuid() == 0)
        QSKIP("root reads a file without read permission");
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("ma.py"));
    if (kind == QLatin1String("file") || kind == QLatin1String("unreadable"))
        QVERIFY(writeFile(path, content));
    if (kind == QLatin1String("unreadable"))
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ma.py")));

    StrategyFileView view;
    // A file shown before, edited: showFile() replaces it whole.
    const QString before = dir.filePath(QStringLiteral("before.py"));
    QVERIFY(writeFile(before, "x = 1\n"));
    view.showFile(before, false);
    appendText(view.editor(), QStringLiteral("y = 2\n"));

    view.showFile(path, locked);
    QCOMPARE(view.filePath(), path);
    QCOMPARE(editorText(view), text);
    QCOMPARE(view.editor()->isReadOnly(), readOnly);
    QCOMPARE(view.isMissing(), missing);
    QCOMPARE(view.isLocked(), locked);
    QVERIFY(!view.isModified());
    const QString expected = notice.isEmpty() ? QString() : notice.arg(path);
    if (expected.isEmpty() || expected.endsWith(QLatin1Char('.')))
        QCOMPARE(view.notice(), expected);
    else
        QVERIFY2(view.notice().startsWith(expected), qPrintable(view.notice()));

    // Nothing a read-only view is asked to save reaches the disk.
    QSignalSpy failed(&view, &StrategyFileView::saveFailed);
    QCOMPARE(view.save(), !readOnly);
    QCOMPARE(failed.count(), readOnly ? 1 : 0);
    if (kind == QLatin1String("file"))
        QCOMPARE(fileBytes(path), content);
    if (kind == QLatin1String("missing"))
        QVERIFY(!QFileInfo::exists(path));

    view.showFile(QString(), false);
    QCOMPARE(editorText(view), QString());
    QVERIFY(view.editor()->isReadOnly());
    QCOMPARE(view.notice(), QString());
}

void tst_DeskEditor::lockingKeepsEdits()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("ma.py"));
    QVERIFY(writeFile(path, "a = 1\n"));
    StrategyFileView view;
    view.showFile(path, false);
    appendText(view.editor(), QStringLiteral("b = 2\n"));

    view.setLocked(true);
    QVERIFY(view.editor()->isReadOnly());
    QCOMPARE(view.notice(), QStringLiteral("%1 is locked: unlock it to edit.").arg(path));
    QVERIFY(view.isModified());
    QSignalSpy failed(&view, &StrategyFileView::saveFailed);
    QVERIFY(!view.save());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(fileBytes(path), QByteArray("a = 1\n"));

    view.setLocked(false);
    QVERIFY(!view.editor()->isReadOnly());
    QCOMPARE(view.notice(), QString());
    QCOMPARE(editorText(view), QStringLiteral("a = 1\nb = 2\n"));
    QVERIFY(view.save());
    QCOMPARE(fileBytes(path), QByteArray("a = 1\nb = 2\n"));
}

void tst_DeskEditor::saveWritesExactBytes_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("final newline kept") << QByteArray("a = 1\n") << "b = 2\n" << QByteArray("a = 1\nb = 2\n");
    QTest::newRow("no final newline added") << QByteArray("a = 1") << "\nb = 2" << QByteArray("a = 1\nb = 2");
    QTest::newRow("Chinese text") << QByteArray("# \xe5\x9d\x87\xe7\xba\xbf\n")
                                  << QString::fromUtf8("name = '\xe5\x8f\x8c\xe5\x9d\x87\xe7\xba\xbf'")
                                  << QByteArray("# \xe5\x9d\x87\xe7\xba\xbf\nname = '\xe5\x8f\x8c\xe5\x9d\x87\xe7\xba\xbf'");
    QTest::newRow("CRLF kept") << QByteArray("a\r\nb\r\n") << "c\n" << QByteArray("a\r\nb\r\nc\r\n");
    QTest::newRow("byte order mark kept") << QByteArray("\xef\xbb\xbf" "a\n") << "b"
                                          << QByteArray("\xef\xbb\xbf" "a\nb");
    QTest::newRow("no-break space kept") << QByteArray("s = '\xc2\xa0'\n") << "t = 1"
                                         << QByteArray("s = '\xc2\xa0'\nt = 1");
    QTest::newRow("tabs and trailing blanks kept") << QByteArray("if x:\n\tpass  \n\n\n") << "\t"
                                                   << QByteArray("if x:\n\tpass  \n\n\n\t");
    QTest::newRow("empty file") << QByteArray() << "x" << QByteArray("x");
}

void tst_DeskEditor::saveWritesExactBytes()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, typed);
    QFETCH(QByteArray, saved);

    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("ma.py"));
    QVERIFY(writeFile(path, content));
    StrategyFileView view;
    view.showFile(path, false);
    QVERIFY(!view.editor()->isReadOnly());

    // Unedited, a save gives back the bytes read.
    QVERIFY(view.save());
    QCOMPARE(fileBytes(path), content);

    appendText(view.editor(), typed);
    QVERIFY(view.isModified());
    QSignalSpy savedSpy(&view, &StrategyFileView::saved);
    QVERIFY(view.save());
    QCOMPARE(savedSpy.count(), 1);
    QCOMPARE(savedSpy.at(0).at(0).toString(), path);
    QVERIFY(!view.isModified());
    QCOMPARE(fileBytes(path), saved);

    // And a fresh view of the saved file shows what was typed.
    StrategyFileView again;
    again.showFile(path, false);
    QCOMPARE(editorText(again), editorText(view));
    QVERIFY(!again.editor()->isReadOnly());
}

void tst_DeskEditor::saveKeepsLinkAndPermissions()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString target = dir.filePath(QStringLiteral("shared/ma.py"));
    QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
    QVERIFY(writeFile(target, "a = 1\n"));
    const QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner
        | QFileDevice::ExeOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(target, permissions));
    const QString link = dir.filePath(QStringLiteral("ma.py"));
    QVERIFY(QFile::link(target, link));

    StrategyFileView view;
    view.showFile(link, false);
    appendText(view.editor(), QStringLiteral("b = 2\n"));
    QVERIFY(view.save());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(fileBytes(target), QByteArray("a = 1\nb = 2\n"));
    // Owner, group and others (the User bits say what this process may do).
    QCOMPARE(QFile::permissions(target) & 0x7077, permissions & 0x7077);
}

void tst_DeskEditor::saveShortcut()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("ma.py"));
    QVERIFY(writeFile(path, "a = 1\n"));
    StrategyFileView view;
    view.showFile(path, false);
    view.show();
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    view.editor()->setFocus();
    view.editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(view.editor(), QStringLiteral("b"));
    QSignalSpy saved(&view, &StrategyFileView::saved);
    QTest::keyClick(view.editor(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(fileBytes(path), QByteArray("a = 1\nb"));
}

void tst_DeskEditor::saveFailureKeepsEdits_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("read-only folder") << "read-only folder";
    QTest::newRow("folder replaced by a file") << "folder replaced by a file";
}

void tst_DeskEditor::saveFailureKeepsEdits()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString folder = dir.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/ma.py");
    QVERIFY(writeFile(path, "a = 1\n"));

    StrategyFileView view;
    int asked = 0;
    view.askReload = [&](const QString &) {
        ++asked;
        return false;
    };
    view.showFile(path, false);
    appendText(view.editor(), QStringLiteral("b = 2\n"));

    QScopedPointer<ReadOnlyFolder> mount;
    if (how == QLatin1String("read-only folder")) {
        if (::geteuid() == 0) {
            mount.reset(new ReadOnlyFolder(folder));
            if (!mount->isValid())
                QSKIP("root writes into any folder, and this one could not be mounted read-only");
        } else {
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
    } else {
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(writeFile(folder, "not a folder"));
        // The edits stay over the removal: the user was asked and said no.
        QTRY_COMPARE(asked, 1);
    }

    QSignalSpy failed(&view, &StrategyFileView::saveFailed);
    QSignalSpy saved(&view, &StrategyFileView::saved);
    QVERIFY(!view.save());
    QCOMPARE(saved.count(), 0);
    QCOMPARE(failed.count(), 1);
    const QString message = failed.at(0).at(0).toString();
    QVERIFY2(message.startsWith(QStringLiteral("%1 could not be saved: ").arg(path)), qPrintable(message));
    QVERIFY2(message.size() > QStringLiteral("%1 could not be saved: ").arg(path).size(), qPrintable(message));
    QVERIFY(view.isModified());
    QCOMPARE(editorText(view), QStringLiteral("a = 1\nb = 2\n"));
    QVERIFY(!view.editor()->isReadOnly());
    if (how == QLatin1String("read-only folder")) {
        QCOMPARE(fileBytes(path), QByteArray("a = 1\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("ma.py")});
        mount.reset();
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ExeOwner));
        // Once the folder can be written again, the same edits are saved.
        QVERIFY(view.save());
        QCOMPARE(fileBytes(path), QByteArray("a = 1\nb = 2\n"));
    } else {
        QCOMPARE(fileBytes(folder), QByteArray("not a folder"));
    }
}

void tst_DeskEditor::changeOnDiskReloads_data()
{
    QTest::addColumn<bool>("atomic");
    QTest::newRow("rewritten in place") << false;
    QTest::newRow("replaced whole") << true;
}

void tst_DeskEditor::changeOnDiskReloads()
{
    QFETCH(bool, atomic);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("ma.py"));
    QVERIFY(writeFile(path, "a = 1\n"));
    StrategyFileView view;
    int asked = 0;
    view.askReload = [&](const QString &) {
        ++asked;
        return true;
    };
    view.showFile(path, false);

    const auto change = [&](const QByteArray &content) {
        return atomic ? StrategyLogic::writeWholeFile(path, content) : writeFile(path, content);
    };
    // Twice: after a replace, the new file is the one watched.
    QVERIFY(change("a = 2\n"));
    QTRY_COMPARE(editorText(view), QStringLiteral("a = 2\n"));
    QVERIFY(change("a = 3\n"));
    QTRY_COMPARE(editorText(view), QStringLiteral("a = 3\n"));
    QVERIFY(!view.isModified());
    QVERIFY(!view.editor()->isReadOnly());

    // Also after a save of our own, which replaces the file.
    appendText(view.editor(), QStringLiteral("b = 1\n"));
    QVERIFY(view.save());
    QVERIFY(change("a = 4\n"));
    QTRY_COMPARE(editorText(view), QStringLiteral("a = 4\n"));
    QCOMPARE(asked, 0);

    // A file that became undecodable is shown so, read-only.
    QVERIFY(change("a = '\xff'\n"));
    QTRY_VERIFY(view.editor()->isReadOnly());
    QVERIFY2(view.notice().contains(QStringLiteral("not UTF-8")), qPrintable(view.notice()));
}

void tst_DeskEditor::removedAndRestoredFile()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("ma.py"));
    StrategyFileView view;
    view.showFile(path, false);
    QVERIFY(view.isMissing());

    QVERIFY(writeFile(path, "a = 1\n"));
    QTRY_COMPARE(editorText(view), QStringLiteral("a = 1\n"));
    QVERIFY(!view.isMissing());
    QVERIFY(!view.editor()->isReadOnly());
    QCOMPARE(view.notice(), QString());

    QVERIFY(QFile::remove(path));
    QTRY_VERIFY(view.isMissing());
    QCOMPARE(editorText(view), QString());
    QCOMPARE(view.notice(), QStringLiteral("The file %1 does not exist.").arg(path));

    QVERIFY(StrategyLogic::writeWholeFile(path, "a = 2\n"));
    QTRY_COMPARE(editorText(view), QStringLiteral("a = 2\n"));
    QVERIFY(!view.isMissing());
}

void tst_DeskEditor::changeOverUnsavedEditsAsks_data()
{
    QTest::addColumn<bool>("reload");
    QTest::newRow("reload") << true;
    QTest::newRow("keep the edits") << false;
}

void tst_DeskEditor::changeOverUnsavedEditsAsks()
{
    QFETCH(bool, reload);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("ma.py"));
    QVERIFY(writeFile(path, "a = 1\n"));
    StrategyFileView view;
    QStringList asked;
    view.askReload = [&](const QString &askedPath) {
        asked << askedPath;
        return reload;
    };
    view.showFile(path, false);
    appendText(view.editor(), QStringLiteral("mine = 1\n"));

    QVERIFY(StrategyLogic::writeWholeFile(path, "a = 2\n"));
    QTRY_COMPARE(asked.size(), 1);
    QCOMPARE(asked.at(0), path);
    if (reload) {
        QCOMPARE(editorText(view), QStringLiteral("a = 2\n"));
        QVERIFY(!view.isModified());
    } else {
        QCOMPARE(editorText(view), QStringLiteral("a = 1\nmine = 1\n"));
        QVERIFY(view.isModified());
        QCOMPARE(fileBytes(path), QByteArray("a = 2\n"));
        // The watcher telling of the same change again is no new question.
        auto *watcher = view.findChild<QFileSystemWatcher *>();
        QVERIFY(watcher);
        QVERIFY(QMetaObject::invokeMethod(watcher, "fileChanged", Q_ARG(QString, path)));
        QCOMPARE(asked.size(), 1);
        // Another change asks again.
        QVERIFY(StrategyLogic::writeWholeFile(path, "a = 3\n"));
        QTRY_COMPARE(asked.size(), 2);
        QCOMPARE(editorText(view), QStringLiteral("a = 1\nmine = 1\n"));
        // The user's choice: the edits are saved over the change.
        QVERIFY(view.save());
        QCOMPARE(fileBytes(path), QByteArray("a = 1\nmine = 1\n"));
    }
}

void tst_DeskEditor::changeWhileAskingAsksAgain()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("ma.py"));
    QVERIFY(writeFile(path, "a = 1\n"));
    StrategyFileView view;
    auto *watcher = view.findChild<QFileSystemWatcher *>();
    QVERIFY(watcher);
    int asked = 0;
    int depth = 0;
    int deepest = 0;
    view.askReload = [&](const QString &) {
        ++asked;
        deepest = qMax(deepest, ++depth);
        if (asked == 1) {
            // The file changes again while the question is open, and the
            // question's event loop hears of it.
            QSignalSpy changed(watcher, &QFileSystemWatcher::fileChanged);
            if (writeFile(path, "a = 3\n"))
                changed.wait();
        }
        --depth;
        return false;
    };
    view.showFile(path, false);
    appendText(view.editor(), QStringLiteral("mine = 1\n"));
    QVERIFY(writeFile(path, "a = 2\n"));
    // Once for the change, once more, after the answer, for the change made
    // while it was asked; never a question inside a question.
    QTRY_COMPARE(asked, 2);
    QCOMPARE(deepest, 1);
    QCOMPARE(editorText(view), QStringLiteral("a = 1\nmine = 1\n"));
}

void tst_DeskEditor::viewClosedWhileAsking()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("ma.py"));
    QVERIFY(writeFile(path, "a = 1\n"));
    QPointer<StrategyFileView> view = new StrategyFileView;
    int asked = 0;
    // The window closed while the question was open.
    view->askReload = [&](const QString &) {
        ++asked;
        delete view.data();
        return true;
    };
    view->showFile(path, false);
    appendText(view->editor(), QStringLiteral("mine = 1\n"));
    QVERIFY(writeFile(path, "a = 2\n"));
    QTRY_COMPARE(asked, 1);
    QVERIFY(view.isNull());
    QCOMPARE(fileBytes(path), QByteArray("a = 2\n"));
}

void tst_DeskEditor::ownSaveIsNoChangeFromOutside()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("ma.py"));
    QVERIFY(writeFile(path, "a = 1\n"));
    StrategyFileView view;
    int asked = 0;
    view.askReload = [&](const QString &) {
        ++asked;
        return true;
    };
    view.showFile(path, false);
    appendText(view.editor(), QStringLiteral("b = 2\n"));
    QVERIFY(view.save());
    appendText(view.editor(), QStringLiteral("c = 3\n"));

    // However late the watcher tells of the save, it finds our own bytes:
    // the edits made since are no reason to ask.
    auto *watcher = view.findChild<QFileSystemWatcher *>();
    QVERIFY(watcher);
    QVERIFY(watcher->files().contains(path));
    QVERIFY(QMetaObject::invokeMethod(watcher, "fileChanged", Q_ARG(QString, path)));
    QCOMPARE(asked, 0);
    QCOMPARE(editorText(view), QStringLiteral("a = 1\nb = 2\nc = 3\n"));
    QVERIFY(view.isModified());

    // A change from outside after it does ask.
    QVERIFY(writeFile(path, "z = 0\n"));
    QTRY_COMPARE(asked, 1);
    QCOMPARE(editorText(view), QStringLiteral("z = 0\n"));
}

QTEST_MAIN(tst_DeskEditor)
#include "tst_deskeditor.moc"
