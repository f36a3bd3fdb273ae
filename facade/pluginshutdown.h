#ifndef PLUGINSHUTDOWN_H
#define PLUGINSHUTDOWN_H

class StrategyFileLogicHandler;
class StrategyCompilerCommerFuncs;

// Ties the plug-in's last work to the end of the process, whether or not
// the client calls exit(): the groups file is saved, the worker thread is
// stopped, pending instance and day-cash rows are written and the ini file
// is synchronised, while the store is still alive.
//
// The routine runs before QCoreApplication goes (qAddPostRoutine) and, as a
// fallback for a process without one or whose application outlives main(),
// at process exit before the store is destroyed (it is registered with
// atexit() once the store is complete, so it runs before the store's
// destructor). Running it twice is harmless.
class PluginShutdown
{
public:
    static void arm();
    static void run();

    // The singletons register themselves, and are forgotten when they go.
    static void setFacade(StrategyFileLogicHandler *facade);
    static void forgetFacade(StrategyFileLogicHandler *facade);
    static void setService(StrategyCompilerCommerFuncs *service);
    static void forgetService(StrategyCompilerCommerFuncs *service);
};

#endif // PLUGINSHUTDOWN_H
