#ifndef BUNDLEEXPORTER_H
#define BUNDLEEXPORTER_H

#include <QByteArray>
#include <QJsonArray>
#include <QString>

class StrategyFileLogicHandler;

// The logged-in user's whole strategy state as a bundle's text, taken from
// the plug-in object through its read-only calls: the members in a fixed
// order, each record of a list on one line, ending with a line feed, so
// that people can read and compare two bundles (docs/bundle.md).
// Thread: any, as the plug-in's calls it makes.
class BundleExporter
{
public:
    explicit BundleExporter(StrategyFileLogicHandler &handler);

    // Takes the state; text() and the counts are of that moment.
    void collect();
    QByteArray text() const;
    int fixedStrategies() const { return m_strategies.size(); }
    int groups() const { return m_groups.size(); }
    int locks() const { return m_locks.size(); }
    int instances() const { return m_instances.size(); }
    int backtestDays() const { return m_days.size(); }

private:
    void collectStrategiesAndGroups();
    void collectInstancesAndDays();

    StrategyFileLogicHandler &m_handler;
    QJsonArray m_strategies;
    QJsonArray m_groups;
    QJsonArray m_locks;
    QJsonArray m_instances;
    QJsonArray m_days;
    QString m_user;
    QString m_lastProduct;
    QString m_lastFundAccount;
    int m_runMode = 0;
    QString m_pythonPath;
};

#endif // BUNDLEEXPORTER_H
