// The desktop client's start and filter, timed inside the client as a
// trader meets them; run by strategylogic_bench as a child process, which
// takes its peak resident memory.
//
//   strategydesk_probe HOME KEYS
//
// Starts the client on the data folder HOME as strategydesk does (the
// plug-in, then the main window), and prints on the first line the time from
// the start of the process to the end of the first paint of the strategy list
// with all its rows. Then it types KEYS into the filter box one key at a
// time, and erases them with as many backspaces, and prints on the second
// line the time of each keystroke: from the key to the end of the events it
// caused, the list's repaint included. Status 1 when the list never shows.

#include "app/pluginsession.h"
#include "models/strategyfilterproxy.h"
#include "models/strategytablemodel.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since the kernel started this process (its start time in
// /proc is in clock ticks since boot, as CLOCK_BOOTTIME counts).
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command's name, which is in parentheses and may
    // hold spaces; the start time is field 22 of the line, 20 after it.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    const double startMs = fields.at(19).toDouble() * 1000.0 / double(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6 - startMs;
}

// Counts the paints of a widget; each paint ends before the next event.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *widget)
        : QObject(widget)
    {
        widget->installEventFilter(this);
    }
    int paints = 0;

    // Runs the event loop until a paint after `seen` has been handled, or
    // for at most `ms`; false on the time-out.
    bool waitPaintAfter(int seen, int ms)
    {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
        m_loop = &loop;
        m_after = seen;
        deadline.start(ms);
        const bool painted = paints > seen || loop.exec() == 0;
        m_loop = nullptr;
        return painted;
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            // The paint is handled after this filter; the loop ends at the
            // next turn, when it is done.
            if (m_loop && paints > m_after)
                QTimer::singleShot(0, m_loop, [loop = m_loop] { loop->exit(0); });
        }
        return false;
    }

private:
    QEventLoop *m_loop = nullptr;
    int m_after = 0;
};

// Qt's own notes of the offscreen platform are not the bench's output; the
// probe's failures are its exit status and its own lines.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

void key(QWidget *target, int code, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

} // namespace

int main(int argc, char **argv)
{
    // The window's remembered layout is kept out of the measure: a settings
    // folder of its own under HOME.
    if (argc == 3)
        qputenv("XDG_CONFIG_HOME", QByteArray(argv[1]) + "/probe-settings");
    qInstallMessageHandler(quietMessages);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("strategydesk"));
    QApplication::setOrganizationName(QStringLiteral("StrategyLogic"));
    const QStringList args = QApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: strategydesk_probe HOME KEYS\n");
        return 2;
    }
    PluginSession session(args.at(1));
    if (!session.start())
        return 1;
    int status = 0;
    {
        MainWindow window(session);
        QTableView *table = window.strategyView();
        PaintWatch watch(table->viewport());
        window.show();
        const int expected = window.strategyModel()->rowCount();
        if (!watch.waitPaintAfter(0, 60000) || window.strategyProxy()->rowCount() != expected) {
            std::fprintf(stderr, "the strategy list was not painted with its %d rows\n", expected);
            status = 1;
        } else {
            std::printf("%.3f\n", msSinceProcessStart());
            QLineEdit *filter = window.filterEdit();
            filter->setFocus();
            const QString keys = args.at(2);
            QStringList times;
            auto stroke = [&](int code, const QString &text) {
                QElapsedTimer timer;
                timer.start();
                key(filter, code, text);
                // The filter runs in the key's handling; the repaint it asks
                // for is a posted event, handled here.
                QApplication::processEvents();
                times << QString::number(double(timer.nsecsElapsed()) / 1e6, 'f', 3);
            };
            for (const QChar c : keys)
                stroke(c.unicode() < 128 ? c.toUpper().unicode() : 0, QString(c));
            for (int i = 0; i < keys.size(); ++i)
                stroke(Qt::Key_Backspace, QString());
            if (filter->text() != QString() || window.strategyProxy()->rowCount() != expected) {
                std::fprintf(stderr, "the filter did not come back to all %d rows\n", expected);
                status = 1;
            }
            std::printf("%s\n", qPrintable(times.join(QLatin1Char(' '))));
        }
        window.close();
    }
    session.stop();
    return status;
}
