// tsan_plantedrace: small programs with a known answer, run under
// ThreadSanitizer to show that its reports on this project can be trusted.
//
//   tsan_plantedrace VARIANT
//
// Each variant hands data between threads through one Qt mechanism. The
// "race" variants contain a real data race that ThreadSanitizer must report;
// the others are correctly synchronised and must run without a report,
// which they do only where QtTsanShim tells ThreadSanitizer what Qt did
// (Debian's Qt is not instrumented). check-planted-races.sh runs every
// variant and compares. Exit status: 0 done, 1 a variant's own check failed,
// 2 usage; ThreadSanitizer ends the process with its own status (66) at the
// first report.
//
// race variants:
//   read-lock     two threads write one variable under a QReadWriteLock read
//                 lock: readers exclude nobody, so the writes race
//   late-write    a thread writes a value after posting the event whose
//                 handler reads it on another thread
//   lock-order    one thread takes a QMutex then a QReadWriteLock, another
//                 the two the other way round (one after the other: a
//                 deadlock that did not happen this time)
// clean variants:
//   write-lock    the same writes under the write lock
//   mutex         writes under a contended QMutex, and a QRecursiveMutex
//   wait-condition a value handed over with QWaitCondition (QMutex and
//                 QReadWriteLock)
//   semaphore     a value handed over with QSemaphore alone
//   queued-call   a value handed to a worker thread by a queued call and a
//                 posted event, an answer back by a blocking queued call
//   queued-signal a value handed over by a queued signal
//   thread-end    a value written by a QThread read after wait()

#include <QCoreApplication>
#include <QEvent>
#include <QMutex>
#include <QObject>
#include <QReadWriteLock>
#include <QSemaphore>
#include <QThread>
#include <QWaitCondition>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int Rounds = 2000;

// The shared data of every variant. volatile: each access stays in the
// program as written.
volatile int g_shared = 0;

__attribute__((noinline)) void plantedWrite()
{
    g_shared = g_shared + 1;
}

__attribute__((noinline)) int plantedRead()
{
    return g_shared;
}

bool fail(const char *what)
{
    std::fprintf(stderr, "tsan_plantedrace: %s\n", what);
    return false;
}

// Runs `body` on `count` QThreads at once and waits for them.
void onThreads(int count, const std::function<void()> &body)
{
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back(QThread::create(body));
    for (auto &thread : threads)
        thread->start();
    for (auto &thread : threads)
        thread->wait();
}

bool readLock()
{
    QReadWriteLock lock;
    onThreads(2, [&] {
        for (int i = 0; i < Rounds; ++i) {
            QReadLocker locker(&lock);
            plantedWrite();
        }
    });
    return true;
}

__attribute__((noinline)) void lockInOrder(QMutex *mutex, QReadWriteLock *lock, bool mutexFirst)
{
    if (mutexFirst) {
        QMutexLocker first(mutex);
        QWriteLocker second(lock);
        plantedWrite();
    } else {
        QWriteLocker first(lock);
        QMutexLocker second(mutex);
        plantedWrite();
    }
}

bool lockOrder()
{
    QMutex mutex;
    QReadWriteLock lock;
    onThreads(1, [&] { lockInOrder(&mutex, &lock, true); });
    onThreads(1, [&] { lockInOrder(&mutex, &lock, false); });
    return true;
}

bool writeLock()
{
    QReadWriteLock lock;
    onThreads(4, [&] {
        for (int i = 0; i < Rounds; ++i) {
            if (i % 2) {
                QWriteLocker locker(&lock);
                plantedWrite();
            } else {
                QReadLocker locker(&lock);
                plantedRead();
            }
        }
    });
    return g_shared == 2 * Rounds || fail("lost a write under the write lock");
}

bool mutex()
{
    QMutex plain;
    QRecursiveMutex recursive;
    onThreads(4, [&] {
        for (int i = 0; i < Rounds; ++i) {
            QMutexLocker outer(&recursive);
            QMutexLocker inner(&recursive);
            QMutexLocker locker(&plain);
            plantedWrite();
            if (i % 8 == 0) {
                locker.unlock();
                if (plain.tryLock(1)) {
                    plantedWrite();
                    plain.unlock();
                    plantedWrite(); // still under the recursive mutex
                }
            }
        }
    });
    return g_shared >= 4 * Rounds || fail("lost a write under a mutex");
}

bool waitCondition()
{
    QMutex mutex;
    QWaitCondition changed;
    QReadWriteLock lock;
    QWaitCondition readyChanged;
    bool ready = false;
    int turn = 0; // 0: the main thread's, 1: the other's
    std::unique_ptr<QThread> other(QThread::create([&] {
        for (int i = 0; i < Rounds / 4; ++i) {
            QMutexLocker locker(&mutex);
            while (turn != 1)
                changed.wait(&mutex);
            plantedWrite();
            turn = 0;
            changed.wakeAll();
        }
        QWriteLocker locker(&lock);
        ready = true;
        readyChanged.wakeAll();
    }));
    other->start();
    for (int i = 0; i < Rounds / 4; ++i) {
        QMutexLocker locker(&mutex);
        while (turn != 0)
            changed.wait(&mutex);
        plantedWrite();
        turn = 1;
        changed.wakeAll();
    }
    {
        QReadLocker locker(&lock);
        while (!ready)
            readyChanged.wait(&lock);
    }
    other->wait();
    return g_shared == Rounds / 2 || fail("a hand-over lost a write");
}

bool semaphore()
{
    QSemaphore toOther, toMain;
    std::unique_ptr<QThread> other(QThread::create([&] {
        for (int i = 0; i < Rounds / 4; ++i) {
            toOther.acquire();
            plantedWrite();
            toMain.release();
        }
    }));
    other->start();
    for (int i = 0; i < Rounds / 4; ++i) {
        plantedWrite();
        toOther.release();
        while (!toMain.tryAcquire(1, 10)) {
        }
    }
    other->wait();
    return g_shared == Rounds / 2 || fail("a hand-over lost a write");
}

// An object of our own (its vtable is ours, as the library's objects' are)
// living on a worker thread.
class Receiver : public QObject
{
    Q_OBJECT
public:
    int seen = 0;
    QSemaphore done;

public slots:
    void take(int value)
    {
        seen += value + plantedRead();
        done.release();
    }

protected:
    void customEvent(QEvent *) override
    {
        seen += plantedRead();
        done.release();
    }
};

class Emitter : public QObject
{
    Q_OBJECT
signals:
    void value(int value);
};

// A worker thread with an event loop and a Receiver on it; stops on
// destruction.
struct Worker
{
    QThread thread;
    Receiver *receiver = new Receiver;

    Worker()
    {
        receiver->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, receiver, &QObject::deleteLater);
        thread.start();
    }
    ~Worker()
    {
        thread.quit();
        thread.wait();
    }
};

bool queuedCall()
{
    Worker worker;
    Receiver *receiver = worker.receiver;
    for (int i = 0; i < Rounds / 20; ++i) {
        plantedWrite();
        QMetaObject::invokeMethod(
            receiver, [receiver] { receiver->take(1); }, Qt::QueuedConnection);
        receiver->done.acquire();
        plantedWrite();
        QCoreApplication::postEvent(receiver, new QEvent(QEvent::User));
        receiver->done.acquire();
        // The answer: written by the worker, read here after the call returns.
        QMetaObject::invokeMethod(
            receiver, [] { plantedWrite(); }, Qt::BlockingQueuedConnection);
        plantedRead();
        QMetaObject::invokeMethod(receiver, "take", Qt::QueuedConnection, Q_ARG(int, 2));
        receiver->done.acquire();
    }
    return g_shared == 3 * (Rounds / 20) || fail("a queued call lost a write");
}

bool lateWrite()
{
    Worker worker;
    Receiver *receiver = worker.receiver;
    QCoreApplication::postEvent(receiver, new QEvent(QEvent::User));
    plantedWrite(); // after the hand-over: races with the read in customEvent()
    receiver->done.acquire();
    return true;
}

bool queuedSignal()
{
    Worker worker;
    Receiver *receiver = worker.receiver;
    Emitter emitter;
    QObject::connect(&emitter, &Emitter::value, receiver, &Receiver::take, Qt::QueuedConnection);
    for (int i = 0; i < Rounds / 20; ++i) {
        plantedWrite();
        emit emitter.value(i);
        receiver->done.acquire();
    }
    return true;
}

class Writer : public QThread
{
protected:
    void run() override
    {
        for (int i = 0; i < Rounds; ++i)
            plantedWrite();
    }
};

bool threadEnd()
{
    {
        std::unique_ptr<QThread> writer(QThread::create([] {
            for (int i = 0; i < Rounds; ++i)
                plantedWrite();
        }));
        writer->start();
        writer->wait();
        plantedWrite();
    }
    Writer writer;
    writer.start();
    while (!writer.wait(1)) {
    }
    plantedWrite();
    return g_shared == 2 * Rounds + 2 || fail("a thread's writes were lost");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString variant = argc == 2 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QList<QPair<QString, std::function<bool()>>> variants = {
        {QStringLiteral("read-lock"), readLock},       {QStringLiteral("late-write"), lateWrite},
        {QStringLiteral("lock-order"), lockOrder},
        {QStringLiteral("write-lock"), writeLock},     {QStringLiteral("mutex"), mutex},
        {QStringLiteral("wait-condition"), waitCondition}, {QStringLiteral("semaphore"), semaphore},
        {QStringLiteral("queued-call"), queuedCall},   {QStringLiteral("queued-signal"), queuedSignal},
        {QStringLiteral("thread-end"), threadEnd},
    };
    for (const auto &[name, run] : variants) {
        if (name == variant)
            return run() ? 0 : 1;
    }
    std::fprintf(stderr, "usage: tsan_plantedrace VARIANT\nvariants:");
    for (const auto &entry : variants)
        std::fprintf(stderr, " %s", qPrintable(entry.first));
    std::fprintf(stderr, "\n");
    return 2;
}

#include "tsan_plantedrace.moc"
