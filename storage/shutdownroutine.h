#ifndef SHUTDOWNROUTINE_H
#define SHUTDOWNROUTINE_H

#include <functional>

// Ties the plug-in's last work to the end of the process, whether or not
// the client calls exit(): the plug-in object's shutdown (groups file, data
// file, pending rows, the installation folder, its thread), then the
// service's (timers, a last flush, the ini file), while the store is still
// alive.
//
// Each part registers its work for its stage and withdraws it when it goes;
// nothing here knows the parts. The routine runs before QCoreApplication
// goes (qAddPostRoutine) and, as a fallback for a process without one or
// whose application outlives main(), at process exit before the store is
// destroyed: the store arms the routine once it is complete, so the atexit
// entry comes after the store's construction and runs before its
// destruction. Running it twice is harmless. Thread-safe.
class ShutdownRoutine
{
public:
    enum Stage {
        PluginObject, // runs first
        Service,
        StageCount
    };

    static void arm();
    static void run();

    // `owner` identifies the registration: forget() withdraws it only if it
    // is still that owner's.
    static void set(Stage stage, const void *owner, std::function<void()> work);
    static void forget(Stage stage, const void *owner);
};

#endif // SHUTDOWNROUTINE_H
