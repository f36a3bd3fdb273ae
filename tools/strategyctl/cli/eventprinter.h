#ifndef EVENTPRINTER_H
#define EVENTPRINTER_H

#include <QJsonObject>
#include <QObject>
#include <QStringList>

class Output;
class StrategyFileLogicHandler;

// Prints each signal of the plug-in object as it arrives on the main
// thread: "event NAME ARG..." (arguments quoted when they hold blanks) or,
// with --json, {"event": NAME, "param": ARG} with camelCase parameter names.
class EventPrinter : public QObject
{
    Q_OBJECT
public:
    EventPrinter(StrategyFileLogicHandler &facade, Output &out, QObject *parent = nullptr);

private:
    void print(const QString &name, const QStringList &paramNames, const QList<QJsonValue> &args);

    Output &m_out;
};

#endif // EVENTPRINTER_H
