#include "pluginshutdown.h"

#include "facade/strategyfilelogichandler.h"
#include "services/strategycompilercommerfuncs.h"

#include <QCoreApplication>

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<StrategyFileLogicHandler *> s_facade{nullptr};
std::atomic<StrategyCompilerCommerFuncs *> s_service{nullptr};
std::atomic<bool> s_postRoutineAdded{false};
std::atomic<bool> s_atexitAdded{false};

void runShutdown()
{
    PluginShutdown::run();
}

extern "C" void runShutdownAtExit()
{
    PluginShutdown::run();
}
} // namespace

void PluginShutdown::arm()
{
    if (!s_postRoutineAdded.exchange(true))
        qAddPostRoutine(runShutdown);
    if (!s_atexitAdded.exchange(true))
        std::atexit(runShutdownAtExit);
}

void PluginShutdown::run()
{
    if (StrategyFileLogicHandler *facade = s_facade.load())
        facade->exit();
    if (StrategyCompilerCommerFuncs *service = s_service.load())
        service->shutdown();
}

void PluginShutdown::setFacade(StrategyFileLogicHandler *facade)
{
    s_facade = facade;
}

void PluginShutdown::forgetFacade(StrategyFileLogicHandler *facade)
{
    s_facade.compare_exchange_strong(facade, nullptr);
}

void PluginShutdown::setService(StrategyCompilerCommerFuncs *service)
{
    s_service = service;
}

void PluginShutdown::forgetService(StrategyCompilerCommerFuncs *service)
{
    s_service.compare_exchange_strong(service, nullptr);
}
