// Name rules and display labels.

#include "commands.h"
#include "commandtable.h"

#include <StrategyLogic/strategyfilelogichandler.h>

namespace {
int label(CommandContext &c, const QString &text)
{
    c.out.printRecord({QStringLiteral("label")}, QJsonObject{{QStringLiteral("label"), text}});
    return CommandContext::Success;
}
} // namespace

void registerNameCommands(CommandTable &table)
{
    table.add(QStringLiteral("name strategy"), QStringLiteral("NAME"),
              QStringLiteral("Whether NAME ends with a Python extension (.py, .pyd, .pyc)."),
              [](CommandContext &c) { return c.answer(StrategyFileLogicHandler::isValidStrategyName(c.args.at(0))); });
    table.add(QStringLiteral("name file"), QStringLiteral("NAME"), QStringLiteral("Whether NAME is a valid file name."),
              [](CommandContext &c) { return c.answer(!c.facade().isInValidFileName(c.args.at(0))); });
    table.add(QStringLiteral("name dir"), QStringLiteral("NAME"),
              QStringLiteral("Whether NAME is a valid directory name."),
              [](CommandContext &c) { return c.answer(c.facade().isValidDirectoryName(c.args.at(0))); });
    table.add(QStringLiteral("name strict"), QStringLiteral("PATH:path"),
              QStringLiteral("Whether the file's base name is a strict name."),
              [](CommandContext &c) { return c.answer(c.facade().isValidStrictFileName(c.args.at(0))); });
    table.add(QStringLiteral("name punct"), QStringLiteral("TEXT"),
              QStringLiteral("Whether TEXT holds Chinese full-width punctuation."), [](CommandContext &c) {
                  QString text = c.args.at(0);
                  return c.answer(StrategyFileLogicHandler::containsChinesePuntuation(text));
              });
    table.add(QStringLiteral("name abs"), QStringLiteral("PATH:path"), QStringLiteral("The absolute form of PATH."),
              [](CommandContext &c) {
                  c.out.printRecord({QStringLiteral("path")},
                                    QJsonObject{{QStringLiteral("path"),
                                                 StrategyFileLogicHandler::getAbsoulteFilePath(c.args.at(0))}});
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("label cover"), QStringLiteral("SYMBOL FLAG"), QStringLiteral("The covered-flag label."), [](CommandContext &c) {
                  return label(c, StrategyFileLogicHandler::getCoverFlag(c.args.at(0), c.args.at(1)));
              });
    table.add(QStringLiteral("label invest"), QStringLiteral("SYMBOL CODE"), QStringLiteral("The invest-type label."), [](CommandContext &c) {
                  return label(c, StrategyFileLogicHandler::getInvestType(c.args.at(0), c.args.at(1)));
              });
    table.add(QStringLiteral("label effect"), QStringLiteral("SYMBOL CODE"),
              QStringLiteral("The position-effect label."), [](CommandContext &c) {
                  return label(c, StrategyFileLogicHandler::getPositionEffectString(c.args.at(0), c.args.at(1)));
              });
}
