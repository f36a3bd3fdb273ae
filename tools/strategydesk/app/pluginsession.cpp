#include "app/pluginsession.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <zqapplicationdir.h>
#include <zqfolderlock.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>

PluginSession::PluginSession(const QString &dataFolder)
    : m_dataFolder(dataFolder)
{
    askRetry = [](const QString &holder) {
        return QMessageBox::warning(nullptr, QApplication::applicationDisplayName(),
                                    QApplication::translate("PluginSession",
                                                            "The data folder is in use by %1.\n\nStrategyDesk "
                                                            "changes nothing while another program holds it.")
                                        .arg(holder),
                                    QMessageBox::Retry | QMessageBox::Close, QMessageBox::Retry)
            == QMessageBox::Retry;
    };
    report = [](const QString &message) {
        QMessageBox::critical(nullptr, QApplication::applicationDisplayName(), message);
    };
}

PluginSession::~PluginSession() { stop(); }

StrategyFileLogicHandler &PluginSession::plugin() const { return StrategyFileLogicHandler::instance(); }

bool PluginSession::start()
{
    if (m_started)
        return true;
    if (!QDir().mkpath(m_dataFolder)) {
        report(QApplication::translate("PluginSession", "%1 cannot be used as the data folder.").arg(m_dataFolder));
        return false;
    }
    for (;;) {
        ZqFolderLock::Holder holder;
        QString error;
        const ZqFolderLock::Outcome outcome = ZqFolderLock::acquire(m_dataFolder, &holder, &error);
        if (outcome == ZqFolderLock::Acquired)
            break;
        if (outcome == ZqFolderLock::Failed) {
            report(QApplication::translate("PluginSession", "The data folder %1 cannot be locked: %2")
                       .arg(m_dataFolder, error));
            return false;
        }
        if (!askRetry(holder.describe()))
            return false;
    }
    // The folder is the application's folder for the plug-in, and the
    // working directory, as in the client.
    if (!QDir::setCurrent(m_dataFolder)) {
        ZqFolderLock::release(m_dataFolder);
        report(QApplication::translate("PluginSession", "%1 cannot be used as the data folder.").arg(m_dataFolder));
        return false;
    }
    ZqApplicationDir::setPath(m_dataFolder);
    StrategyFileLogicHandler &handler = plugin();
    handler.initialize();
    // The plug-in holds the folder itself while it is initialised.
    ZqFolderLock::release(m_dataFolder);
    if (!handler.isInitialized()) {
        report(QApplication::translate("PluginSession", "The plug-in could not start in %1.").arg(m_dataFolder));
        return false;
    }
    m_started = true;
    return true;
}

void PluginSession::stop()
{
    if (!m_started)
        return;
    m_started = false;
    plugin().exit();
}
