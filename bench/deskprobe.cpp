// The desktop client's start, filters and backtest chart, timed inside the
// client as a trader meets them; run by strategylogic_bench as a child
// process, which takes its peak resident memory.
//
//   strategydesk_probe HOME KEYS
//   strategydesk_probe --instances HOME KEYS
//   strategydesk_probe --backtest HOME ID
//
// Starts the client on the data folder HOME as strategydesk does (the
// plug-in, then the main window), and prints on the first line the time from
// the start of the process to the end of the first paint of the strategy list
// with all its rows. Then it types KEYS into the filter box one key at a
// time, and erases them with as many backspaces, and prints on the second
// line the time of each keystroke: from the key to the end of the events it
// caused, the list's repaint included.
//
// With --instances the window opens on the Instances page, and the two lines
// are those of the instance table and its filter. With --backtest it opens on
// the Backtests page; the first line is the time to the first paint of its
// list of instances, the second the time from selecting the instance ID to
// the end of the paints of its chart and its days.
//
// Status 1 when the list never shows or shows no rows, or the instance has
// no days.

#include "app/desktimezone.h"
#include "app/pluginsession.h"
#include "models/backtestdaysmodel.h"
#include "models/instancefilterproxy.h"
#include "models/instancetablemodel.h"
#include "models/strategyfilterproxy.h"
#include "models/strategytablemodel.h"
#include "ui/backtestpage.h"
#include "ui/equitychartview.h"
#include "ui/instancespage.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>
#include <QTabWidget>
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

// A table page of the window: its view, its rows before and after the
// filter, and its filter box.
struct TablePage
{
    const char *what; // "strategy list", "instance table"
    QAbstractItemView *view;
    QAbstractItemModel *source;
    QAbstractItemModel *proxy;
    QLineEdit *filter;
};

// Shows the window and waits for the first paint of `view` (its watch
// installed before the show); prints the time since the process started.
// False, with the reason, when it is not painted within a minute or then
// shows fewer than `expected` rows, or none.
bool showUntilPainted(MainWindow &window, PaintWatch &watch, const char *what, const QAbstractItemModel *shown,
                      int expected)
{
    window.show();
    if (!watch.waitPaintAfter(0, 60000) || expected == 0 || shown->rowCount() != expected) {
        std::fprintf(stderr, "the %s was not painted with its %d rows\n", what, expected);
        return false;
    }
    std::printf("%.3f\n", msSinceProcessStart());
    return true;
}

// The start to the first paint of the page's view, then KEYS typed into its
// filter and erased; the two lines of the probe. The page is the current one.
int runTablePage(MainWindow &window, const TablePage &page, const QString &keys)
{
    PaintWatch watch(page.view->viewport());
    const int expected = page.source->rowCount();
    if (!showUntilPainted(window, watch, page.what, page.proxy, expected))
        return 1;
    page.filter->setFocus();
    QStringList times;
    auto stroke = [&](int code, const QString &text) {
        QElapsedTimer timer;
        timer.start();
        key(page.filter, code, text);
        // The filter runs in the key's handling; the repaint it asks for is
        // a posted event, handled here.
        QApplication::processEvents();
        times << QString::number(double(timer.nsecsElapsed()) / 1e6, 'f', 3);
    };
    for (const QChar c : keys)
        stroke(c.unicode() < 128 ? c.toUpper().unicode() : 0, QString(c));
    for (int i = 0; i < keys.size(); ++i)
        stroke(Qt::Key_Backspace, QString());
    std::printf("%s\n", qPrintable(times.join(QLatin1Char(' '))));
    if (page.filter->text() != QString() || page.proxy->rowCount() != expected) {
        std::fprintf(stderr, "the filter did not come back to all %d rows\n", expected);
        return 1;
    }
    return 0;
}

// The Backtests page: the start to the first paint of its instance list,
// then from selecting `id` to the end of the paints of its chart and days.
int runBacktest(MainWindow &window, const QString &id)
{
    BacktestPage *page = window.backtestPage();
    window.pages()->setCurrentWidget(page);
    PaintWatch listWatch(page->instanceView()->viewport());
    PaintWatch chartWatch(page->chartView());
    PaintWatch daysWatch(page->daysView()->viewport());
    if (!showUntilPainted(window, listWatch, "backtest list", page->instanceModel(), page->instanceModel()->rowCount()))
        return 1;
    const int chartPaints = chartWatch.paints;
    const int daysPaints = daysWatch.paints;
    QElapsedTimer timer;
    timer.start();
    page->selectInstances({id});
    // The days' view paints only when it has rows to paint: both are waited
    // for, whichever comes first.
    const bool painted = chartWatch.waitPaintAfter(chartPaints, 60000) && daysWatch.waitPaintAfter(daysPaints, 60000);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (!painted || page->selectedInstances() != QStringList{id} || page->daysModel()->rowCount() == 0) {
        std::fprintf(stderr, "the backtest days of instance %s were not painted\n", qPrintable(id));
        return 1;
    }
    std::printf("%.3f\n", ms);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The window's remembered layout is kept out of the measure: a settings
    // folder of its own under HOME.
    const bool mode = argc == 4 && argv[1][0] == '-';
    if (argc == 3 || mode)
        qputenv("XDG_CONFIG_HOME", QByteArray(argv[mode ? 2 : 1]) + "/probe-settings");
    qInstallMessageHandler(quietMessages);
    DeskTimeZone::pinSystemZone(); // as strategydesk starts
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("strategydesk"));
    QApplication::setOrganizationName(QStringLiteral("StrategyLogic"));
    QStringList args = QApplication::arguments();
    const QString page = args.size() == 4 ? args.takeAt(1) : QString();
    if (args.size() != 3
        || !(page.isEmpty() || page == QLatin1String("--instances") || page == QLatin1String("--backtest"))) {
        std::fprintf(stderr, "usage: strategydesk_probe [--instances] HOME KEYS\n"
                             "       strategydesk_probe --backtest HOME ID\n");
        return 2;
    }
    PluginSession session(args.at(1));
    if (!session.start())
        return 1;
    int status = 0;
    {
        MainWindow window(session);
        if (page == QLatin1String("--backtest")) {
            status = runBacktest(window, args.at(2));
        } else if (page == QLatin1String("--instances")) {
            InstancesPage *instances = window.instancesPage();
            window.pages()->setCurrentWidget(instances);
            status = runTablePage(window,
                                  {"instance table", instances->view(), instances->model(), instances->proxy(),
                                   instances->filterEdit()},
                                  args.at(2));
        } else {
            status = runTablePage(window,
                                  {"strategy list", window.strategyView(), window.strategyModel(),
                                   window.strategyProxy(), window.filterEdit()},
                                  args.at(2));
        }
        window.close();
    }
    session.stop();
    return status;
}
