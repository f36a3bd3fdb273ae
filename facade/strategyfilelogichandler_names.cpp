// Name rules and display labels of StrategyFileLogicHandler.

#include <StrategyLogic/strategyfilelogichandler.h>

#include "facade/strategyfilelogichandler_p.h"

#include "services/strategycompilercommerfuncs.h"

#include <cbusinessdatabase.h>
#include <cdatabase.h>
#include <tavrix_fields.h>
#include <tavrix_values.h>
#include <zqpath.h>

#include <QFileInfo>

namespace {
const QString NotApplicable = QStringLiteral("——");

// Tested in this order. The ellipsis and the em dash count only in pairs.
const QStringList &chinesePunctuation()
{
    static const QStringList list = {
        QStringLiteral("【"), QStringLiteral("】"), QStringLiteral("？"), QStringLiteral("！"),
        QStringLiteral("·"), QStringLiteral("￥"), QStringLiteral("……"), QStringLiteral("（"),
        QStringLiteral("）"), QStringLiteral("——"), QStringLiteral("、"), QStringLiteral("："),
        QStringLiteral("；"), QStringLiteral("“"), QStringLiteral("”"), QStringLiteral("’"),
        QStringLiteral("‘"), QStringLiteral("《"), QStringLiteral("》"), QStringLiteral("，"),
        QStringLiteral("。"),
    };
    return list;
}

bool isFuturesOrOption(const QString &symbol)
{
    const QString type = CBusinessDataBase::GetInstance()->GetSecurityTypeBySymbol(symbol);
    return type == QLatin1String(Tavrix_Values::MdcSecurityType::FuturesType)
           || type == QLatin1String(Tavrix_Values::MdcSecurityType::OptionType);
}
} // namespace

bool StrategyFileLogicHandler::containsChinesePuntuation(QString &text)
{
    for (const QString &mark : chinesePunctuation()) {
        if (text.indexOf(mark, 0, Qt::CaseSensitive) >= 0)
            return true;
    }
    return false;
}

bool StrategyFileLogicHandler::isValidStrategyName(QString name)
{
    return name.endsWith(QLatin1String(".py")) || name.endsWith(QLatin1String(".pyd"))
           || name.endsWith(QLatin1String(".pyc"));
}

bool StrategyFileLogicHandler::isValidStrictFileName(QString path)
{
    QString baseName = ZqPath::baseName(path);
    if (baseName.isEmpty())
        return false;
    if (containsChinesePuntuation(baseName))
        return false;
    // Matching changes a QRegExp's state: each call matches with its own.
    QRegExp pattern(d->m_strictNameRegExp.pattern(), Qt::CaseSensitive, QRegExp::RegExp);
    return pattern.exactMatch(baseName);
}

bool StrategyFileLogicHandler::isInValidFileName(QString name)
{
    StrategyCompilerCommerFuncs::instance();
    return !StrategyCompilerCommerFuncs::isValidFileName(name);
}

bool StrategyFileLogicHandler::isValidDirectoryName(QString name)
{
    StrategyCompilerCommerFuncs::instance();
    return StrategyCompilerCommerFuncs::isValidDirectoryName(name);
}

QString StrategyFileLogicHandler::getAbsoulteFilePath(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

QString StrategyFileLogicHandler::getCoverFlag(const QString &symbol, const QString &coveredFlag)
{
    if (!isFuturesOrOption(symbol))
        return NotApplicable;
    if (coveredFlag == QLatin1String(Tavrix_Values::OptionCoveredFlag::Covered))
        return QStringLiteral("是");
    if (coveredFlag == QLatin1String(Tavrix_Values::OptionCoveredFlag::UnCovered))
        return QStringLiteral("否");
    return NotApplicable;
}

QString StrategyFileLogicHandler::getInvestType(const QString &symbol, const QString &investTypeCode)
{
    if (!isFuturesOrOption(symbol))
        return NotApplicable;
    return CDataBase::GetInstance()->GetStaticCfgValue(Tavrix_Fields::UserAccount::investType, investTypeCode);
}

QString StrategyFileLogicHandler::getPositionEffectString(const QString &symbol, const QString &positionEffectCode)
{
    if (!isFuturesOrOption(symbol))
        return NotApplicable;
    return CDataBase::GetInstance()->GetStaticCfgValue(Tavrix_Fields::Security::positionEffect, positionEffectCode);
}
