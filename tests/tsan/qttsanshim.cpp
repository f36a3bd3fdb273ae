// QtTsanShim: tells ThreadSanitizer about the synchronisation that Qt does
// where it cannot see it.
//
// Debian's Qt is not built with -fsanitize=thread. ThreadSanitizer sees the
// memory accesses of our own code, but not Qt's loads, stores, atomics and
// futexes: QMutex's slow path, QReadWriteLock (entirely out of line),
// QWaitCondition, QSemaphore, the hand-over of a posted event, a queued call
// or a queued signal to the thread that delivers it, and the end of a
// QThread as QThread::wait() learns it. Without help each of these reads as
// "no synchronisation" and yields a false data race.
//
// Approach: this library is preloaded (LD_PRELOAD) into every process of a
// TSan run. It defines the exported Qt functions our code calls, under their
// own mangled names, so that the dynamic linker binds our code's calls (and
// the vtable slots of our classes) to them; each one forwards to Qt's
// function (dlsym(RTLD_NEXT)) and tells ThreadSanitizer what the call did:
// - QMutex, QReadWriteLock: the mutex annotations of
//   <sanitizer/tsan_interface.h> (__tsan_mutex_pre_lock ... post_unlock), so
//   that ThreadSanitizer treats them as it treats pthread mutexes:
//   happens-before from an unlock to the next lock, none between two
//   readers, and lock-order (deadlock) checking.
// - QWaitCondition, QSemaphore: release by the waking side, acquire by the
//   woken side; a wait also unlocks and relocks its mutex or lock.
// - Posted events and calls queued by name (postEvent, deleteLater,
//   invokeMethod with a method name, QTimer::singleShot with a slot name):
//   the sender releases a key of the receiving object and the receiver
//   acquires it in QObject::event(); the receiver then releases a key of its
//   thread, which a BlockingQueuedConnection caller acquires on return.
// - Functions and member functions handed to another thread (invokeMethod
//   with a function, single-shot timers, connections that are not direct):
//   Qt reference-counts the slot object with its own atomics and destroys it
//   on whichever thread lets go last. The shim wraps it (SlotHandOver): the
//   hand-over comes before the call, the call before the destruction,
//   wherever they run; shared arguments (QString, QByteArray, QStringList)
//   are released after the call as Qt's invisible decrement would.
// - Signals: an emission (QMetaObject::activate) releases a key of the
//   sending object, which a wrapped slot acquires when it is called from an
//   event loop. This orders every earlier emission by that sender before the
//   call, not only the one that queued it: it can hide a race between two
//   threads that emit signals of one object, it never invents one.
// - Event loops: quit()/exit() of a QThread, a QEventLoop or the
//   application release a key that the loop's exec() (or QThread::run())
//   acquires when it returns.
// - The free of a QString's or QByteArray's data block is hidden from
//   ThreadSanitizer: Qt's out-of-line QString functions drop references
//   where the decrement is invisible (see QArrayData::deallocate below).
// - QThread: QThread::start() marks the new thread with its QThread
//   (pthread_create); that thread releases a key of the QThread when it
//   wakes the threads waiting for it (QThread's "done" wake-up, a
//   pthread_cond_broadcast after run() and all that Qt does after it), and
//   QThread::wait() and isFinished() acquire it once they report the thread
//   finished.
//
// Why interposition and not a suppression list: a suppression hides a
// report, it adds no happens-before edge, so the same race comes back framed
// in our own code (the access after the lock is ours). Suppressions also
// match allocation and thread-creation stacks, which run through Qt for
// nearly every object, and would hide real races. tsan.supp only makes
// ThreadSanitizer ignore the C library calls Qt makes itself (malloc, free,
// memcpy, pthread), which would otherwise give it half a view of Qt.
//
// Limits, where a report may still be false (none of them occurs in this
// project; each would show as a report framed in Qt's hand-over):
// - Only calls from outside Qt pass through here: Qt is linked with
//   -Bsymbolic-functions and calls its own functions directly. A QMutex that
//   Qt locks internally stays invisible (as it must: consistently so), and
//   an event to a class whose vtable lives in Qt or that overrides event()
//   bypasses QObject::event() here.
// - Connections made by name (SIGNAL()/SLOT()) are not wrapped; arguments of
//   a queued call made by name are not released; a queued signal's argument
//   of a type registered by us is copied by our code after the emission's
//   release.
// - Qt's isFinished() answers true as soon as the thread starts finishing, a
//   moment before its "done" wake-up: a thread waited for by polling
//   isFinished() alone may be reported; wait() is exact.
// Inline fast paths in Qt's headers (QBasicMutex::lock) are compiled into
// our code and instrumented already; their slow paths come here as
// lockInternal()/unlockInternal().
//
// The shim is not instrumented itself and links neither Qt nor the TSan
// runtime, so preloading it into ctest, a shell or sqlite3 does nothing:
// the TSan entry points are weak and absent there, and Qt's are looked up
// only when first called.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QMetaMethod>
#include <QMetaObject>
#include <QMutex>
#include <QObject>
#include <QReadWriteLock>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

#include <sanitizer/tsan_interface.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <pthread.h>

// Not in <sanitizer/tsan_interface.h> but exported by the runtime: the
// calling thread's memory accesses are not recorded in between.
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();

#pragma weak __tsan_acquire
#pragma weak __tsan_release
#pragma weak __tsan_mutex_destroy
#pragma weak __tsan_mutex_pre_lock
#pragma weak __tsan_mutex_post_lock
#pragma weak __tsan_mutex_pre_unlock
#pragma weak __tsan_mutex_post_unlock
#pragma weak __tsan_ignore_thread_begin
#pragma weak __tsan_ignore_thread_end

namespace {

bool tsanPresent()
{
    return &__tsan_acquire != nullptr;
}

void acquire(const void *key)
{
    if (tsanPresent())
        __tsan_acquire(const_cast<void *>(key));
}

void release(const void *key)
{
    if (tsanPresent())
        __tsan_release(const_cast<void *>(key));
}

void preLock(void *m, unsigned flags)
{
    if (tsanPresent())
        __tsan_mutex_pre_lock(m, flags);
}

void postLock(void *m, unsigned flags)
{
    if (tsanPresent())
        __tsan_mutex_post_lock(m, flags, 0);
}

void preUnlock(void *m, unsigned flags)
{
    if (tsanPresent())
        __tsan_mutex_pre_unlock(m, flags);
}

void postUnlock(void *m, unsigned flags)
{
    if (tsanPresent())
        __tsan_mutex_post_unlock(m, flags);
}

void destroyed(void *m)
{
    if (tsanPresent())
        __tsan_mutex_destroy(m, 0);
}

// Synchronisation keys: addresses inside the object they stand for, so
// that ThreadSanitizer forgets them when the object's memory is freed.
const void *postKey(const QObject *receiver)
{
    return reinterpret_cast<const char *>(receiver) + 1;
}

const void *threadDoneKey(const QThread *thread)
{
    return reinterpret_cast<const char *>(thread) + 2;
}

// Released when a slot or event handler that a caller waits for is done:
// keyed by the receiving thread (a blocking queued call) or by the sender
// (a blocking connection).
const void *replyKey(const QObject *object)
{
    return reinterpret_cast<const char *>(object) + 3;
}

// Qt's definition of a function defined here. The lookup is cached; two
// threads racing to fill the cache store the same value.
template<typename Fn>
Fn lookUp(std::atomic<void *> &cache, void *handle, const char *mangledName)
{
    void *fn = cache.load(std::memory_order_acquire);
    if (!fn) {
        fn = dlsym(handle, mangledName);
        if (!fn) {
            // Nothing sensible can go on without the real function.
            static const char prefix[] = "QtTsanShim: no definition of ";
            fputs(prefix, stderr);
            fputs(mangledName, stderr);
            fputs("\n", stderr);
            abort();
        }
        cache.store(fn, std::memory_order_release);
    }
    return reinterpret_cast<Fn>(fn);
}

// Qt's definition of a function defined here, and of one we only call:
// the shim does not link Qt, so that it can be preloaded anywhere.
#define QT_TSAN_REAL(type, mangled) \
    ([]() -> type { \
        static std::atomic<void *> cache{nullptr}; \
        return lookUp<type>(cache, RTLD_NEXT, mangled); \
    }())
#define QT_TSAN_QT(type, mangled) \
    ([]() -> type { \
        static std::atomic<void *> cache{nullptr}; \
        return lookUp<type>(cache, RTLD_DEFAULT, mangled); \
    }())

QThread *threadOf(const QObject *object)
{
    return object ? QT_TSAN_QT(QThread * (*)(const QObject *), "_ZNK7QObject6threadEv")(object) : nullptr;
}

QThread *currentThread()
{
    return QT_TSAN_QT(QThread * (*)(), "_ZN7QThread13currentThreadEv")();
}

// The read/write locks this thread holds and how, so that unlock() (which
// does not say) is annotated as a read or a write unlock. A lock taken while
// the table is full is not annotated at all, nor is its unlock.
struct HeldLock
{
    const QReadWriteLock *lock;
    bool write;
};
constexpr int MaxHeldLocks = 64;
thread_local HeldLock t_held[MaxHeldLocks];
thread_local int t_heldCount = 0;

bool canTrack()
{
    return t_heldCount < MaxHeldLocks;
}

// -1 when this thread does not hold `lock` as far as the table knows.
int findHeld(const QReadWriteLock *lock)
{
    for (int i = t_heldCount - 1; i >= 0; --i) {
        if (t_held[i].lock == lock)
            return i;
    }
    return -1;
}

void pushHeld(const QReadWriteLock *lock, bool write)
{
    t_held[t_heldCount++] = HeldLock{lock, write};
}

void removeHeld(int index)
{
    for (int i = index; i + 1 < t_heldCount; ++i)
        t_held[i] = t_held[i + 1];
    --t_heldCount;
}

// A read lock taken by the thread that holds the write lock (a recursive
// QReadWriteLock allows it) counts as another write lock.
bool holdsForWrite(const QReadWriteLock *lock)
{
    const int i = findHeld(lock);
    return i >= 0 && t_held[i].write;
}

// The QThread whose thread this is, when it was started by QThread::start()
// from outside Qt; set by the start trampoline below.
thread_local QThread *t_ownQThread = nullptr;
// The QThread that this thread is starting right now.
thread_local QThread *t_starting = nullptr;

struct StartRequest
{
    void *(*routine)(void *);
    void *arg;
    QThread *thread;
};

void *startTrampoline(void *raw)
{
    StartRequest *request = static_cast<StartRequest *>(raw);
    const StartRequest copy = *request;
    delete request;
    t_ownQThread = copy.thread;
    void *result = copy.routine(copy.arg);
    t_ownQThread = nullptr;
    return result;
}

void releaseBeforeDelivery(const QObject *receiver)
{
    if (receiver)
        release(postKey(receiver));
}

void acquireAfterBlockingCall(QThread *receiverThread, Qt::ConnectionType type)
{
    if (receiverThread && type == Qt::BlockingQueuedConnection)
        acquire(replyKey(receiverThread));
}

// The sender whose signal this thread is emitting through activate() right
// now: its directly connected slots run inside the emission.
thread_local const QObject *t_emitting = nullptr;
// Whether some connection waits for its slot (BlockingQueuedConnection):
// only then does an emission wait for the slots it reaches.
std::atomic<bool> s_blockingConnections{false};

// The arguments of a signal that are implicitly shared Qt values (QString,
// QByteArray, QStringList) whose data block starts with its reference
// count: bit i stands for argument i + 1 of a slot call.
unsigned sharedArguments(const QMetaObject *senderMetaObject, void **signal)
{
    if (!senderMetaObject || !signal)
        return 0;
    const QMetaMethod method = QT_TSAN_QT(QMetaMethod(*)(const QMetaObject *, void **),
                                          "_ZN11QMetaMethod14fromSignalImplEPK11QMetaObjectPPv")(senderMetaObject, signal);
    if (!method.isValid())
        return 0;
    const int count =
        QT_TSAN_QT(int (*)(const QMetaMethod *), "_ZNK11QMetaMethod14parameterCountEv")(&method);
    unsigned mask = 0;
    for (int i = 0; i < count && i < 32; ++i) {
        const int type =
            QT_TSAN_QT(int (*)(const QMetaMethod *, int), "_ZNK11QMetaMethod13parameterTypeEi")(&method, i);
        if (type == QMetaType::QString || type == QMetaType::QByteArray || type == QMetaType::QStringList)
            mask |= 1u << i;
    }
    return mask;
}

// A functor or member-function slot that Qt hands to another thread: a
// queued call (invokeMethod with a function), a single-shot timer, or a
// connection that is not direct. Qt reference-counts the slot object with
// its own atomics and destroys it on whichever thread lets it go last; this
// wrapper makes the hand-overs visible: what the sending thread did before
// handing it over comes before the call, and the call and everything before
// it comes before the destruction, wherever these run. For a connection,
// the call also comes after the emission that caused it (the sender's key,
// released by activate()).
//
// A queued call's arguments are copies that Qt makes and destroys itself;
// for a shared value (QString, ...) its reference count is the only order
// between the slot's reads and the free by the thread that lets go of the
// data last, and Qt's own decrement is invisible. The wrapper releases on
// that count after the call, as the decrement that follows would.
class SlotHandOver : public QtPrivate::QSlotObjectBase
{
public:
    SlotHandOver(QtPrivate::QSlotObjectBase *inner, const QObject *sender, bool blocking, unsigned sharedArgs)
        : QSlotObjectBase(&SlotHandOver::impl)
        , m_inner(inner)
        , m_sender(sender)
        , m_blocking(blocking)
        , m_sharedArgs(sharedArgs)
    {
        release(this);
    }

private:
    static void impl(int which, QSlotObjectBase *base, QObject *receiver, void **args, bool *ret)
    {
        SlotHandOver *self = static_cast<SlotHandOver *>(base);
        switch (which) {
        case Call:
            if (self->m_sender && self->m_sender != t_emitting)
                acquire(postKey(self->m_sender));
            acquire(self);
            self->m_inner->call(receiver, args);
            for (int i = 0; args && i < 32; ++i) {
                if (self->m_sharedArgs & (1u << i))
                    releaseSharedValue(args[i + 1]);
            }
            release(self);
            if (self->m_blocking && self->m_sender)
                release(replyKey(self->m_sender));
            break;
        case Compare:
            *ret = self->m_inner->compare(args);
            break;
        case Destroy:
            acquire(self);
            self->m_inner->destroyIfLastRef();
            delete self;
            break;
        }
    }

    // `value` points to a QString, QByteArray or QStringList: one pointer to
    // a data block whose first member is its reference count (-1 for
    // static data, 0 for unsharable).
    static void releaseSharedValue(void *value)
    {
        if (!value)
            return;
        const QtPrivate::RefCount *ref = *static_cast<QtPrivate::RefCount *const *>(value);
        if (ref && ref->atomic.loadRelaxed() > 0)
            release(ref);
    }

    QtPrivate::QSlotObjectBase *m_inner;
    const QObject *m_sender; // for a connection; null for a queued call
    bool m_blocking;
    unsigned m_sharedArgs;
};

} // namespace

// ---------------------------------------------------------------------------
// QMutex and the slow path of QBasicMutex

void QMutex::lock() QT_MUTEX_LOCK_NOEXCEPT
{
    preLock(this, 0);
    QT_TSAN_REAL(void (*)(QMutex *), "_ZN6QMutex4lockEv")(this);
    postLock(this, 0);
}

bool QMutex::tryLock(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    preLock(this, __tsan_mutex_try_lock);
    const bool locked = QT_TSAN_REAL(bool (*)(QMutex *, int), "_ZN6QMutex7tryLockEi")(this, timeout);
    postLock(this, __tsan_mutex_try_lock | (locked ? 0 : __tsan_mutex_try_lock_failed));
    return locked;
}

void QMutex::unlock() noexcept
{
    preUnlock(this, 0);
    QT_TSAN_REAL(void (*)(QMutex *), "_ZN6QMutex6unlockEv")(this);
    postUnlock(this, 0);
}

QMutex::~QMutex()
{
    destroyed(this);
    QT_TSAN_REAL(void (*)(QMutex *), "_ZN6QMutexD2Ev")(this);
}

// QBasicMutex::lock()/unlock() are inline: their fast path is an atomic
// compare-and-swap on the mutex's first word, compiled into our code and
// seen by ThreadSanitizer as acquire/release on that address. The slow path
// gets the same edges here. (No mutex annotation: the fast path has none,
// and the two must match.)
void QBasicMutex::lockInternal() QT_MUTEX_LOCK_NOEXCEPT
{
    QT_TSAN_REAL(void (*)(QBasicMutex *), "_ZN11QBasicMutex12lockInternalEv")(this);
    acquire(this);
}

bool QBasicMutex::lockInternal(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    const bool locked = QT_TSAN_REAL(bool (*)(QBasicMutex *, int), "_ZN11QBasicMutex12lockInternalEi")(this, timeout);
    if (locked)
        acquire(this);
    return locked;
}

void QBasicMutex::unlockInternal() noexcept
{
    release(this);
    QT_TSAN_REAL(void (*)(QBasicMutex *), "_ZN11QBasicMutex14unlockInternalEv")(this);
}

// ---------------------------------------------------------------------------
// QReadWriteLock

namespace {

void lockRw(QReadWriteLock *lock, bool write, void (*real)(QReadWriteLock *))
{
    if (!canTrack()) {
        real(lock);
        return;
    }
    write = write || holdsForWrite(lock);
    const unsigned flags = write ? 0 : __tsan_mutex_read_lock;
    preLock(lock, flags);
    real(lock);
    postLock(lock, flags);
    pushHeld(lock, write);
}

template<typename Real, typename... Args>
bool tryLockRw(QReadWriteLock *lock, bool write, Real real, Args... args)
{
    if (!canTrack())
        return real(lock, args...);
    write = write || holdsForWrite(lock);
    const unsigned flags = (write ? 0 : __tsan_mutex_read_lock) | __tsan_mutex_try_lock;
    preLock(lock, flags);
    const bool locked = real(lock, args...);
    postLock(lock, flags | (locked ? 0 : __tsan_mutex_try_lock_failed));
    if (locked)
        pushHeld(lock, write);
    return locked;
}

// How this thread holds `lock` (-1 not as far as the table knows, 0 for
// reading, 1 for writing); a lock it holds is forgotten, and its release
// begun, with the given annotation.
int beginRwUnlock(QReadWriteLock *lock)
{
    const int i = findHeld(lock);
    if (i < 0)
        return -1;
    const bool write = t_held[i].write;
    preUnlock(lock, write ? 0 : __tsan_mutex_read_lock);
    removeHeld(i);
    return write ? 1 : 0;
}

} // namespace

void QReadWriteLock::lockForRead()
{
    lockRw(this, false, QT_TSAN_REAL(void (*)(QReadWriteLock *), "_ZN14QReadWriteLock11lockForReadEv"));
}

void QReadWriteLock::lockForWrite()
{
    lockRw(this, true, QT_TSAN_REAL(void (*)(QReadWriteLock *), "_ZN14QReadWriteLock12lockForWriteEv"));
}

bool QReadWriteLock::tryLockForRead()
{
    return tryLockRw(this, false,
                     QT_TSAN_REAL(bool (*)(QReadWriteLock *), "_ZN14QReadWriteLock14tryLockForReadEv"));
}

bool QReadWriteLock::tryLockForRead(int timeout)
{
    return tryLockRw(this, false,
                     QT_TSAN_REAL(bool (*)(QReadWriteLock *, int), "_ZN14QReadWriteLock14tryLockForReadEi"),
                     timeout);
}

bool QReadWriteLock::tryLockForWrite()
{
    return tryLockRw(this, true,
                     QT_TSAN_REAL(bool (*)(QReadWriteLock *), "_ZN14QReadWriteLock15tryLockForWriteEv"));
}

bool QReadWriteLock::tryLockForWrite(int timeout)
{
    return tryLockRw(this, true,
                     QT_TSAN_REAL(bool (*)(QReadWriteLock *, int), "_ZN14QReadWriteLock15tryLockForWriteEi"),
                     timeout);
}

void QReadWriteLock::unlock()
{
    const int held = beginRwUnlock(this);
    QT_TSAN_REAL(void (*)(QReadWriteLock *), "_ZN14QReadWriteLock6unlockEv")(this);
    if (held >= 0)
        postUnlock(this, held == 0 ? __tsan_mutex_read_lock : 0);
}

QReadWriteLock::~QReadWriteLock()
{
    destroyed(this);
    QT_TSAN_REAL(void (*)(QReadWriteLock *), "_ZN14QReadWriteLockD2Ev")(this);
}

// ---------------------------------------------------------------------------
// QWaitCondition: the wait lets go of the mutex or lock and takes it back.

namespace {

template<typename Real, typename Deadline>
bool waitOnMutex(QWaitCondition *cond, QMutex *mutex, Deadline deadline, Real real)
{
    preUnlock(mutex, 0);
    postUnlock(mutex, 0);
    const bool woken = real(cond, mutex, deadline);
    preLock(mutex, 0);
    postLock(mutex, 0);
    if (woken)
        acquire(cond);
    return woken;
}

template<typename Real, typename Deadline>
bool waitOnLock(QWaitCondition *cond, QReadWriteLock *lock, Deadline deadline, Real real)
{
    const int held = beginRwUnlock(lock);
    const unsigned flags = held == 0 ? __tsan_mutex_read_lock : 0;
    if (held >= 0)
        postUnlock(lock, flags);
    const bool woken = real(cond, lock, deadline);
    if (held >= 0) {
        preLock(lock, flags);
        postLock(lock, flags);
        pushHeld(lock, held == 1);
    }
    if (woken)
        acquire(cond);
    return woken;
}

} // namespace

bool QWaitCondition::wait(QMutex *lockedMutex, QDeadlineTimer deadline)
{
    return waitOnMutex(this, lockedMutex, deadline,
                       QT_TSAN_REAL(bool (*)(QWaitCondition *, QMutex *, QDeadlineTimer),
                                    "_ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer"));
}

bool QWaitCondition::wait(QMutex *lockedMutex, unsigned long time)
{
    return waitOnMutex(this, lockedMutex, time,
                       QT_TSAN_REAL(bool (*)(QWaitCondition *, QMutex *, unsigned long),
                                    "_ZN14QWaitCondition4waitEP6QMutexm"));
}

bool QWaitCondition::wait(QReadWriteLock *lockedReadWriteLock, QDeadlineTimer deadline)
{
    return waitOnLock(this, lockedReadWriteLock, deadline,
                      QT_TSAN_REAL(bool (*)(QWaitCondition *, QReadWriteLock *, QDeadlineTimer),
                                   "_ZN14QWaitCondition4waitEP14QReadWriteLock14QDeadlineTimer"));
}

bool QWaitCondition::wait(QReadWriteLock *lockedReadWriteLock, unsigned long time)
{
    return waitOnLock(this, lockedReadWriteLock, time,
                      QT_TSAN_REAL(bool (*)(QWaitCondition *, QReadWriteLock *, unsigned long),
                                   "_ZN14QWaitCondition4waitEP14QReadWriteLockm"));
}

void QWaitCondition::wakeOne()
{
    release(this);
    QT_TSAN_REAL(void (*)(QWaitCondition *), "_ZN14QWaitCondition7wakeOneEv")(this);
}

void QWaitCondition::wakeAll()
{
    release(this);
    QT_TSAN_REAL(void (*)(QWaitCondition *), "_ZN14QWaitCondition7wakeAllEv")(this);
}

// ---------------------------------------------------------------------------
// QSemaphore

void QSemaphore::acquire(int n)
{
    QT_TSAN_REAL(void (*)(QSemaphore *, int), "_ZN10QSemaphore7acquireEi")(this, n);
    ::acquire(this);
}

bool QSemaphore::tryAcquire(int n)
{
    const bool taken = QT_TSAN_REAL(bool (*)(QSemaphore *, int), "_ZN10QSemaphore10tryAcquireEi")(this, n);
    if (taken)
        ::acquire(this);
    return taken;
}

bool QSemaphore::tryAcquire(int n, int timeout)
{
    const bool taken =
        QT_TSAN_REAL(bool (*)(QSemaphore *, int, int), "_ZN10QSemaphore10tryAcquireEii")(this, n, timeout);
    if (taken)
        ::acquire(this);
    return taken;
}

void QSemaphore::release(int n)
{
    ::release(this);
    QT_TSAN_REAL(void (*)(QSemaphore *, int), "_ZN10QSemaphore7releaseEi")(this, n);
}

// ---------------------------------------------------------------------------
// The free of a QString's, QByteArray's or QVector's data block
//
// These blocks are reference-counted, and many of Qt's out-of-line QString
// functions (operator=, append, ...) drop a reference inside Qt, where the
// decrement is invisible. The thread that drops the last reference in our
// code then frees a block that other threads read while they held theirs,
// with no visible order between them. The free is therefore not shown to
// ThreadSanitizer as a write (as Qt's own frees are not, see tsan.supp).
// Nothing is lost that it could find: the data of a shared block is never
// written, and a race on the QString object itself, which every use goes
// through, is still seen.

void QArrayData::deallocate(QArrayData *data, size_t objectSize, size_t alignment) noexcept
{
    const bool ignore = &__tsan_ignore_thread_begin != nullptr;
    if (ignore)
        __tsan_ignore_thread_begin();
    QT_TSAN_REAL(void (*)(QArrayData *, size_t, size_t), "_ZN10QArrayData10deallocateEPS_mm")(data, objectSize,
                                                                                             alignment);
    if (ignore)
        __tsan_ignore_thread_end();
}

// ---------------------------------------------------------------------------
// Events, queued calls and signals

void QCoreApplication::postEvent(QObject *receiver, QEvent *event, int priority)
{
    releaseBeforeDelivery(receiver);
    QT_TSAN_REAL(void (*)(QObject *, QEvent *, int), "_ZN16QCoreApplication9postEventEP7QObjectP6QEventi")(
        receiver, event, priority);
}

bool QMetaObject::invokeMethodImpl(QObject *object, QtPrivate::QSlotObjectBase *slot, Qt::ConnectionType type,
                                   void *ret)
{
    using Real = bool (*)(QObject *, QtPrivate::QSlotObjectBase *, Qt::ConnectionType, void *);
    const Real real = QT_TSAN_REAL(Real, "_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt"
                                         "14ConnectionTypeEPv");
    if (!object || !slot || type == Qt::DirectConnection)
        return real(object, slot, type, ret);
    // Our own reference keeps the wrapper alive past the call, so that a
    // blocking call's caller can take over what the slot did. (A queued
    // call's caller takes over nothing: the slot may not have run yet.)
    SlotHandOver *handOver = new SlotHandOver(slot, nullptr, false, 0);
    handOver->ref();
    const bool invoked = real(object, handOver, type, ret);
    if (type == Qt::BlockingQueuedConnection)
        acquire(handOver);
    handOver->destroyIfLastRef();
    return invoked;
}

bool QMetaObject::invokeMethod(QObject *obj, const char *member, Qt::ConnectionType type, QGenericReturnArgument ret,
                               QGenericArgument val0, QGenericArgument val1, QGenericArgument val2,
                               QGenericArgument val3, QGenericArgument val4, QGenericArgument val5,
                               QGenericArgument val6, QGenericArgument val7, QGenericArgument val8,
                               QGenericArgument val9)
{
    using Real = bool (*)(QObject *, const char *, Qt::ConnectionType, QGenericReturnArgument, QGenericArgument,
                          QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument,
                          QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument);
    QThread *receiverThread = threadOf(obj);
    releaseBeforeDelivery(obj);
    const bool invoked = QT_TSAN_REAL(Real, "_ZN11QMetaObject12invokeMethodEP7QObjectPKcN2Qt14ConnectionTypeE22"
                                            "QGenericReturnArgument16QGenericArgumentS7_S7_S7_S7_S7_S7_S7_S7_S7_")(
        obj, member, type, ret, val0, val1, val2, val3, val4, val5, val6, val7, val8, val9);
    acquireAfterBlockingCall(receiverThread, type);
    return invoked;
}

bool QMetaMethod::invoke(QObject *object, Qt::ConnectionType connectionType, QGenericReturnArgument returnValue,
                         QGenericArgument val0, QGenericArgument val1, QGenericArgument val2, QGenericArgument val3,
                         QGenericArgument val4, QGenericArgument val5, QGenericArgument val6, QGenericArgument val7,
                         QGenericArgument val8, QGenericArgument val9) const
{
    using Real = bool (*)(const QMetaMethod *, QObject *, Qt::ConnectionType, QGenericReturnArgument,
                          QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument,
                          QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument);
    QThread *receiverThread = threadOf(object);
    releaseBeforeDelivery(object);
    const bool invoked = QT_TSAN_REAL(Real, "_ZNK11QMetaMethod6invokeEP7QObjectN2Qt14ConnectionTypeE22"
                                            "QGenericReturnArgument16QGenericArgumentS5_S5_S5_S5_S5_S5_S5_S5_S5_")(
        this, object, connectionType, returnValue, val0, val1, val2, val3, val4, val5, val6, val7, val8, val9);
    acquireAfterBlockingCall(receiverThread, connectionType);
    return invoked;
}

void QObject::deleteLater()
{
    releaseBeforeDelivery(this);
    QT_TSAN_REAL(void (*)(QObject *), "_ZN7QObject11deleteLaterEv")(this);
}

void QTimer::singleShotImpl(int msec, Qt::TimerType timerType, const QObject *receiver,
                            QtPrivate::QSlotObjectBase *slotObj)
{
    QT_TSAN_REAL(void (*)(int, Qt::TimerType, const QObject *, QtPrivate::QSlotObjectBase *),
                 "_ZN6QTimer14singleShotImplEiN2Qt9TimerTypeEPK7QObjectPN9QtPrivate15QSlotObjectBaseE")(
        msec, timerType, receiver, slotObj ? new SlotHandOver(slotObj, nullptr, false, 0) : nullptr);
}

void QTimer::singleShot(int msec, Qt::TimerType timerType, const QObject *receiver, const char *member)
{
    releaseBeforeDelivery(receiver);
    QT_TSAN_REAL(void (*)(int, Qt::TimerType, const QObject *, const char *),
                 "_ZN6QTimer10singleShotEiN2Qt9TimerTypeEPK7QObjectPKc")(msec, timerType, receiver, member);
}

QMetaObject::Connection QObject::connectImpl(const QObject *sender, void **signal, const QObject *receiver,
                                             void **slotPtr, QtPrivate::QSlotObjectBase *slot,
                                             Qt::ConnectionType type, const int *types,
                                             const QMetaObject *senderMetaObject)
{
    using Real = QMetaObject::Connection (*)(const QObject *, void **, const QObject *, void **,
                                             QtPrivate::QSlotObjectBase *, Qt::ConnectionType, const int *,
                                             const QMetaObject *);
    const Real real = QT_TSAN_REAL(Real, "_ZN7QObject11connectImplEPKS_PPvS1_S3_PN9QtPrivate15QSlotObjectBaseEN2Qt"
                                         "14ConnectionTypeEPKiPK11QMetaObject");
    const int kind = type & ~Qt::UniqueConnection;
    if (!slot || kind == Qt::DirectConnection)
        return real(sender, signal, receiver, slotPtr, slot, type, types, senderMetaObject);
    const bool blocking = kind == Qt::BlockingQueuedConnection;
    if (blocking)
        s_blockingConnections.store(true, std::memory_order_relaxed);
    SlotHandOver *handOver = new SlotHandOver(slot, sender, blocking, sharedArguments(senderMetaObject, signal));
    return real(sender, signal, receiver, slotPtr, handOver, type, types, senderMetaObject);
}

namespace {

template<typename Real, typename... Args>
void emitSignal(QObject *sender, Real real, Args... args)
{
    if (sender)
        release(postKey(sender));
    const QObject *const outer = t_emitting;
    t_emitting = sender;
    real(sender, args...);
    t_emitting = outer;
    // A blocking connection's slot has run when the emission returns.
    if (sender && s_blockingConnections.load(std::memory_order_relaxed))
        acquire(replyKey(sender));
}

} // namespace

void QMetaObject::activate(QObject *sender, const QMetaObject *m, int local_signal_index, void **argv)
{
    emitSignal(sender,
               QT_TSAN_REAL(void (*)(QObject *, const QMetaObject *, int, void **),
                            "_ZN11QMetaObject8activateEP7QObjectPKS_iPPv"),
               m, local_signal_index, argv);
}

void QMetaObject::activate(QObject *sender, int signal_index, void **argv)
{
    emitSignal(sender, QT_TSAN_REAL(void (*)(QObject *, int, void **), "_ZN11QMetaObject8activateEP7QObjectiPPv"),
               signal_index, argv);
}

void QMetaObject::activate(QObject *sender, int signal_offset, int local_signal_index, void **argv)
{
    emitSignal(sender,
               QT_TSAN_REAL(void (*)(QObject *, int, int, void **), "_ZN11QMetaObject8activateEP7QObjectiiPPv"),
               signal_offset, local_signal_index, argv);
}

// Reached through the vtables of our classes (Qt's own classes call their
// event() directly): a posted event, a deferred delete, a call queued by
// name. The receiver may delete itself while handling the event, so
// nothing of it is touched afterwards.
bool QObject::event(QEvent *e)
{
    acquire(postKey(this));
    const bool handled = QT_TSAN_REAL(bool (*)(QObject *, QEvent *), "_ZN7QObject5eventEP6QEvent")(this, e);
    release(replyKey(::currentThread()));
    return handled;
}

// ---------------------------------------------------------------------------
// Event loops: what a thread did before it asked a loop to stop comes before
// whatever follows the loop's return (a QThread's finishing, the code after
// exec()). A stopped QThread's finished() slots acquire the same key as a
// sender's (see SlotHandOver).

char s_applicationLoopKey;

void QThread::quit()
{
    release(postKey(this));
    QT_TSAN_REAL(void (*)(QThread *), "_ZN7QThread4quitEv")(this);
}

void QThread::exit(int returnCode)
{
    release(postKey(this));
    QT_TSAN_REAL(void (*)(QThread *, int), "_ZN7QThread4exitEi")(this, returnCode);
}

int QThread::exec()
{
    const int result = QT_TSAN_REAL(int (*)(QThread *), "_ZN7QThread4execEv")(this);
    acquire(postKey(this));
    return result;
}

// Reached through the vtables of our QThread classes that keep run().
void QThread::run()
{
    QT_TSAN_REAL(void (*)(QThread *), "_ZN7QThread3runEv")(this);
    acquire(postKey(this));
}

void QEventLoop::quit()
{
    release(postKey(this));
    QT_TSAN_REAL(void (*)(QEventLoop *), "_ZN10QEventLoop4quitEv")(this);
}

void QEventLoop::exit(int returnCode)
{
    release(postKey(this));
    QT_TSAN_REAL(void (*)(QEventLoop *, int), "_ZN10QEventLoop4exitEi")(this, returnCode);
}

int QEventLoop::exec(ProcessEventsFlags flags)
{
    const int result = QT_TSAN_REAL(int (*)(QEventLoop *, ProcessEventsFlags),
                                    "_ZN10QEventLoop4execE6QFlagsINS_17ProcessEventsFlagEE")(this, flags);
    acquire(postKey(this));
    return result;
}

void QCoreApplication::quit()
{
    release(&s_applicationLoopKey);
    QT_TSAN_REAL(void (*)(), "_ZN16QCoreApplication4quitEv")();
}

void QCoreApplication::exit(int returnCode)
{
    release(&s_applicationLoopKey);
    QT_TSAN_REAL(void (*)(int), "_ZN16QCoreApplication4exitEi")(returnCode);
}

int QCoreApplication::exec()
{
    const int result = QT_TSAN_REAL(int (*)(), "_ZN16QCoreApplication4execEv")();
    acquire(&s_applicationLoopKey);
    return result;
}

// ---------------------------------------------------------------------------
// QThread: the end of the thread, as wait() and isFinished() report it

void QThread::start(Priority priority)
{
    QThread *const outer = t_starting;
    t_starting = this;
    QT_TSAN_REAL(void (*)(QThread *, Priority), "_ZN7QThread5startENS_8PriorityE")(this, priority);
    t_starting = outer;
}

bool QThread::wait(QDeadlineTimer deadline)
{
    const bool finished =
        QT_TSAN_REAL(bool (*)(QThread *, QDeadlineTimer), "_ZN7QThread4waitE14QDeadlineTimer")(this, deadline);
    if (finished)
        acquire(threadDoneKey(this));
    return finished;
}

bool QThread::wait(unsigned long time)
{
    const bool finished = QT_TSAN_REAL(bool (*)(QThread *, unsigned long), "_ZN7QThread4waitEm")(this, time);
    if (finished)
        acquire(threadDoneKey(this));
    return finished;
}

bool QThread::isFinished() const
{
    const bool finished = QT_TSAN_REAL(bool (*)(const QThread *), "_ZNK7QThread10isFinishedEv")(this);
    if (finished)
        acquire(threadDoneKey(this));
    return finished;
}

extern "C" {

// QThread::start() creates its thread here: the thread learns which QThread
// it belongs to.
__attribute__((visibility("default"))) int pthread_create(pthread_t *thread, const pthread_attr_t *attr,
                                                          void *(*routine)(void *), void *arg)
{
    using Real = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
    static std::atomic<void *> cache{nullptr};
    const Real real = lookUp<Real>(cache, RTLD_NEXT, "pthread_create");
    if (!t_starting)
        return real(thread, attr, routine, arg);
    StartRequest *request = new StartRequest{routine, arg, t_starting};
    const int result = real(thread, attr, startTrampoline, request);
    if (result != 0)
        delete request;
    return result;
}

// QThread's last act on its thread is to wake the threads waiting in
// wait() (QWaitCondition::wakeAll(), a pthread_cond_broadcast). All that the
// thread did in our code comes before it, and wait() cannot return before
// it: the waker holds QThread's own mutex until the broadcast is done.
__attribute__((visibility("default"))) int pthread_cond_broadcast(pthread_cond_t *cond)
{
    using Real = int (*)(pthread_cond_t *);
    static std::atomic<void *> cache{nullptr};
    void *fn = cache.load(std::memory_order_acquire);
    if (!fn) {
        fn = dlvsym(RTLD_NEXT, "pthread_cond_broadcast", "GLIBC_2.3.2");
        if (!fn)
            fn = dlsym(RTLD_NEXT, "pthread_cond_broadcast");
        cache.store(fn, std::memory_order_release);
    }
    if (t_ownQThread)
        release(threadDoneKey(t_ownQThread));
    return reinterpret_cast<Real>(fn)(cond);
}

} // extern "C"
