#include "facade/refusals.h"

#include "registry/strategygroups.h"
#include "storage/strategylogging.h"

using StrategyLogic::Refusal;
using StrategyLogic::RefusalCode;

namespace {
thread_local Refusal t_last;
} // namespace

void Refusals::clear()
{
    if (t_last.isRefused())
        t_last = Refusal();
}

void Refusals::note(const char *function, RefusalCode code, const QString &reason, const QString &message)
{
    t_last = Refusal{code, message, reason, QLatin1String(function)};
}

void Refusals::refuse(const char *function, RefusalCode code, const QString &reason, const QString &message)
{
    SL_WARNING << function << "refused:" << reason;
    note(function, code, reason, message);
}

QString Refusals::notInitialisedMessage()
{
    return StrategyGroups::notInitialisedMessage();
}

QString Refusals::notStorableMessage()
{
    return QStringLiteral("操作失败：内容包含无法保存的字符！");
}

QString Refusals::notWritableMessage()
{
    return StrategyGroups::writeFailedMessage();
}

QString Refusals::noSuchGroupMessage(const QString &group)
{
    return QStringLiteral("不包含的分组: %1").arg(group);
}

QString Refusals::nameTakenMessage(const QString &name)
{
    return QStringLiteral("已经存在该固化对象: %1").arg(name);
}

QString Refusals::idRefusedMessage()
{
    return QStringLiteral("添加失败：无法取得固化策略编号！");
}

QString Refusals::notFoundMessage()
{
    return QStringLiteral("操作失败：不存在该固化策略！");
}

Refusal StrategyLogic::lastRefusal()
{
    return t_last;
}

QString StrategyLogic::refusalCodeName(RefusalCode code)
{
    switch (code) {
    case RefusalCode::None: return QStringLiteral("none");
    case RefusalCode::NotInitialised: return QStringLiteral("not-initialised");
    case RefusalCode::NoSuchGroup: return QStringLiteral("no-such-group");
    case RefusalCode::NameTaken: return QStringLiteral("name-taken");
    case RefusalCode::BuiltInName: return QStringLiteral("built-in-name");
    case RefusalCode::IdRefused: return QStringLiteral("id-refused");
    case RefusalCode::NotFound: return QStringLiteral("not-found");
    case RefusalCode::NotStorable: return QStringLiteral("not-storable");
    case RefusalCode::NotWritable: return QStringLiteral("not-writable");
    }
    return QString();
}
