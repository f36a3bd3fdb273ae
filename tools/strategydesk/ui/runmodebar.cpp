#include "ui/runmodebar.h"

#include "models/instancetablemodel.h"

#include <StrategyLogic/strategyfilelogichandler.h>
#include <StrategyLogic/strategyrefusal.h>

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>

RunModeBar::RunModeBar(StrategyFileLogicHandler &plugin, QWidget *parent)
    : QToolBar(tr("Run mode"), parent)
    , m_plugin(plugin)
{
    setObjectName(QStringLiteral("runModeToolBar"));
    showMessage = [this](const QString &title, const QString &message) {
        QMessageBox::warning(this, title, message);
    };
    applyMode = [this](int mode) { m_plugin.setCurrentRunMode(mode); };

    auto *label = new QLabel(tr("Run &mode:"), this);
    label->setContentsMargins(6, 0, 4, 0);
    m_modes = new QComboBox(this);
    m_modes->setAccessibleName(tr("Run mode of the plug-in"));
    m_modes->setToolTip(tr("The run mode of the plug-in in this process; it is not kept"));
    for (int mode : InstanceTableModel::namedRunModes())
        m_modes->addItem(InstanceTableModel::runModeName(mode), mode);
    label->setBuddy(m_modes);
    addWidget(label);
    addWidget(m_modes);
    // Only a choice of the user asks the plug-in; showMode() changes the combo
    // without asking.
    connect(m_modes, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { setMode(m_modes->itemData(index).toInt()); });

    connect(&m_refreshTimer, &QTimer::timeout, this, &RunModeBar::refresh);
    m_refreshTimer.start(InstanceTableModel::DefaultRefreshInterval);
    refresh();
}

int RunModeBar::shownMode() const
{
    return m_modes->currentData().toInt();
}

void RunModeBar::refresh()
{
    showMode(m_plugin.getCurrentRunMode());
}

void RunModeBar::showMode(int mode)
{
    // An item for a mode the plug-in does not name, while it is the mode.
    const int named = InstanceTableModel::namedRunModes().size();
    if (m_modes->count() > named && m_modes->itemData(named).toInt() != mode)
        m_modes->removeItem(named);
    int index = m_modes->findData(mode);
    if (index < 0) {
        m_modes->addItem(InstanceTableModel::runModeName(mode), mode);
        index = m_modes->count() - 1;
    }
    m_modes->setCurrentIndex(index);
}

bool RunModeBar::setMode(int mode)
{
    applyMode(mode);
    const int now = m_plugin.getCurrentRunMode();
    showMode(now);
    if (now == mode) {
        m_lastMessage.clear();
        emit modeChanged(mode);
        return true;
    }
    const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
    m_lastMessage = refusal.isRefused() && !refusal.message.isEmpty()
        ? refusal.message
        : tr("The plug-in kept the run mode %1.").arg(InstanceTableModel::runModeName(now));
    showMessage(tr("The run mode was not changed to %1").arg(InstanceTableModel::runModeName(mode)), m_lastMessage);
    return false;
}
