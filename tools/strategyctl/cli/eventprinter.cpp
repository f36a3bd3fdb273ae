#include "eventprinter.h"

#include "output.h"

#include <StrategyLogic/strategyfilelogichandler.h>

EventPrinter::EventPrinter(StrategyFileLogicHandler &facade, Output &out, QObject *parent)
    : QObject(parent)
    , m_out(out)
{
    using F = StrategyFileLogicHandler;
    connect(&facade, &F::signalInitData, this, [this] { print(QStringLiteral("signalInitData"), {}, {}); });
    connect(&facade, &F::signalStrategyModifyed, this, [this](int id) {
        print(QStringLiteral("signalStrategyModifyed"), {QStringLiteral("fixedStrategyId")}, {id});
    });
    connect(&facade, &F::signalFixedStrategyFileChanged, this, [this](const QString &oldPath, const QString &newPath) {
        print(QStringLiteral("signalFixedStrategyFileChanged"), {QStringLiteral("oldFilePath"), QStringLiteral("newFilePath")},
              {oldPath, newPath});
    });
    connect(&facade, &F::signalFixedStrategyFileRemoved, this, [this](int id) {
        print(QStringLiteral("signalFixedStrategyFileRemoved"), {QStringLiteral("fixedStrategyId")}, {id});
    });
    connect(&facade, &F::signalAddStrategy, this, [this] { print(QStringLiteral("signalAddStrategy"), {}, {}); });
    connect(&facade, &F::signalDelStrategySuccess, this,
            [this] { print(QStringLiteral("signalDelStrategySuccess"), {}, {}); });
    connect(&facade, &F::sigFundAccountChanged, this, [this] { print(QStringLiteral("sigFundAccountChanged"), {}, {}); });
    connect(&facade, &F::sigInstanceRunModeChange, this, [this](const QString &id, int mode) {
        print(QStringLiteral("sigInstanceRunModeChange"), {QStringLiteral("instanceId"), QStringLiteral("mode")}, {id, mode});
    });
    connect(&facade, &F::signalInstanceRunModeLoaded, this,
            [this] { print(QStringLiteral("signalInstanceRunModeLoaded"), {}, {}); });
    connect(&facade, &F::signalChangeFileLockState, this, [this](const QString &path) {
        print(QStringLiteral("signalChangeFileLockState"), {QStringLiteral("filePath")}, {path});
    });
}

void EventPrinter::print(const QString &name, const QStringList &paramNames, const QList<QJsonValue> &args)
{
    if (m_out.isJson()) {
        QJsonObject event{{QStringLiteral("event"), name}};
        for (int i = 0; i < paramNames.size(); ++i)
            event.insert(paramNames.at(i), args.at(i));
        m_out.printJson(event);
        return;
    }
    QString line = QStringLiteral("event ") + name;
    for (const QJsonValue &arg : args)
        line += QLatin1Char(' ') + (arg.isString() ? Output::quoted(arg.toString()) : Output::text(arg));
    m_out.printLine(line);
}
