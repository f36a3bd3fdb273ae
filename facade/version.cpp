#include <StrategyLogic/strategylogic_version.h>

const char *StrategyLogic::version()
{
    return STRATEGYLOGIC_VERSION_STRING;
}
