#include "shutdownroutine.h"

#include <QCoreApplication>
#include <QMutex>

#include <atomic>
#include <cstdlib>

namespace {
struct Registration
{
    const void *owner = nullptr;
    std::function<void()> work;
};

struct Routine
{
    QMutex mutex;
    Registration stages[ShutdownRoutine::StageCount];
};

// Never destroyed: the routine may run after static destruction began.
Routine &routine()
{
    static Routine *r = new Routine;
    return *r;
}

std::atomic<bool> s_postRoutineAdded{false};
std::atomic<bool> s_atexitAdded{false};

void runShutdown()
{
    ShutdownRoutine::run();
}

extern "C" void runShutdownAtExit()
{
    ShutdownRoutine::run();
}
} // namespace

void ShutdownRoutine::arm()
{
    if (!s_postRoutineAdded.exchange(true))
        qAddPostRoutine(runShutdown);
    if (!s_atexitAdded.exchange(true))
        std::atexit(runShutdownAtExit);
}

void ShutdownRoutine::run()
{
    for (int stage = 0; stage < StageCount; ++stage) {
        std::function<void()> work;
        {
            QMutexLocker locker(&routine().mutex);
            work = routine().stages[stage].work;
        }
        // Outside the mutex: the work may withdraw or register.
        if (work)
            work();
    }
}

void ShutdownRoutine::set(Stage stage, const void *owner, std::function<void()> work)
{
    QMutexLocker locker(&routine().mutex);
    routine().stages[stage] = Registration{owner, std::move(work)};
}

void ShutdownRoutine::forget(Stage stage, const void *owner)
{
    QMutexLocker locker(&routine().mutex);
    if (routine().stages[stage].owner == owner)
        routine().stages[stage] = Registration();
}
