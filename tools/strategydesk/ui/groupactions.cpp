#include "ui/groupactions.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <QAction>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
bool isBuiltIn(const QString &group)
{
    return group == StrategyLogic::defaultGroupName() || group == StrategyLogic::autoStartGroupName();
}
} // namespace

GroupActions::GroupActions(StrategyFileLogicHandler &plugin, QWidget *parent)
    : QObject(parent)
    , m_plugin(plugin)
    , m_parent(parent)
{
    askText = [this](const QString &title, const QString &label, const QString &text) {
        bool ok = false;
        const QString answer = QInputDialog::getText(m_parent, title, label, QLineEdit::Normal, text, &ok);
        return ok ? answer : QString();
    };
    askChoice = [this](const QString &title, const QString &question, const QStringList &choices) {
        if (choices.size() > 3) { // a list to pick from rather than a row of buttons
            bool ok = false;
            const QString item = QInputDialog::getItem(m_parent, title, question, choices, 0, false, &ok);
            return ok ? int(choices.indexOf(item)) : -1;
        }
        QMessageBox box(QMessageBox::Question, title, question, QMessageBox::Cancel, m_parent);
        QList<QAbstractButton *> buttons;
        for (const QString &choice : choices)
            buttons.append(box.addButton(choice, QMessageBox::AcceptRole));
        box.exec();
        return int(buttons.indexOf(box.clickedButton()));
    };
    showMessage = [this](const QString &title, const QString &message) {
        QMessageBox::warning(m_parent, title, message);
    };
    changed = [] {};
    renamed = [](const QString &, const QString &) {};

    m_add = new QAction(tr("&New group..."), this);
    m_rename = new QAction(tr("Re&name group..."), this);
    m_delete = new QAction(tr("&Delete group..."), this);
    m_merge = new QAction(tr("&Merge into another group..."), this);
    connect(m_add, &QAction::triggered, this, &GroupActions::addAsked);
    connect(m_rename, &QAction::triggered, this, &GroupActions::renameAsked);
    connect(m_delete, &QAction::triggered, this, &GroupActions::deleteAsked);
    connect(m_merge, &QAction::triggered, this, &GroupActions::mergeAsked);
    updateActions();
}

void GroupActions::setCurrentGroup(const QString &group)
{
    m_group = group;
    updateActions();
}

// The built-in groups stay as they are.
void GroupActions::updateActions()
{
    const bool own = !m_group.isEmpty() && !isBuiltIn(m_group);
    m_rename->setEnabled(own);
    m_delete->setEnabled(own);
    m_merge->setEnabled(own);
    const QString why = m_group.isEmpty() ? QString() : tr("%1 is a built-in group: it cannot be changed.").arg(m_group);
    for (QAction *action : {m_rename, m_delete, m_merge})
        action->setToolTip(own || m_group.isEmpty() ? action->text() : why);
}

bool GroupActions::answered(const QString &what, const QString &message)
{
    changed();
    if (message.isEmpty())
        return true;
    showMessage(what, message);
    return false;
}

bool GroupActions::succeeded(const QString &what, bool done)
{
    const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
    changed();
    if (!done)
        showMessage(what, refusal.message.isEmpty() ? what : refusal.message);
    return done;
}

bool GroupActions::add(const QString &name)
{
    return answered(tr("The group was not added"), m_plugin.addGroup(name));
}

bool GroupActions::rename(const QString &group, const QString &newName)
{
    if (!answered(tr("The group %1 was not renamed").arg(group), m_plugin.renameGroup(group, newName)))
        return false;
    renamed(group, newName);
    return true;
}

bool GroupActions::remove(const QString &group, bool withStrategies)
{
    // Strategies that stay move to the default group first: a group that
    // strategies still name would come back at the next start.
    if (!withStrategies && !m_plugin.regroupAllStrategy(group, StrategyLogic::defaultGroupName(), false))
        return succeeded(tr("The group %1 was not deleted").arg(group), false);
    return succeeded(tr("The group %1 was not deleted").arg(group), m_plugin.deleteGroup(group, withStrategies));
}

bool GroupActions::merge(const QString &group, const QString &into)
{
    // The group goes with a delete of its own, which writes the groups file
    // at once.
    if (!m_plugin.regroupAllStrategy(group, into, false))
        return succeeded(tr("%1 was not merged into %2").arg(group, into), false);
    return succeeded(tr("%1 was not merged into %2").arg(group, into), m_plugin.deleteGroup(group, false));
}

void GroupActions::addAsked()
{
    const QString name = askText(tr("New group"), tr("Name of the new group:"), QString());
    if (!name.isEmpty())
        add(name);
}

void GroupActions::renameAsked()
{
    const QString group = m_group;
    const QString name = askText(tr("Rename group"), tr("New name of %1:").arg(group), group);
    if (!name.isEmpty() && name != group)
        rename(group, name);
}

void GroupActions::deleteAsked()
{
    const QString group = m_group;
    int count = 0;
    for (const FixedStrategyInfo &info : m_plugin.getFixedStrategyList())
        count += info.group == group;
    if (count == 0) {
        if (askChoice(tr("Delete group"), tr("Delete the empty group %1?").arg(group), {tr("Delete")}) == 0)
            remove(group, false);
        return;
    }
    const int choice = askChoice(
        tr("Delete group"),
        tr("The group %1 holds %n strategies. Move them to %2, or delete them with the group? Deleted strategies "
           "cannot be brought back.",
           nullptr, count)
            .arg(group, StrategyLogic::defaultGroupName()),
        {tr("Move them to %1 and delete the group").arg(StrategyLogic::defaultGroupName()),
         tr("Delete the group and its strategies")});
    if (choice >= 0)
        remove(group, choice == 1);
}

void GroupActions::mergeAsked()
{
    const QString group = m_group;
    QStringList others = m_plugin.getAllStrategyGroupNameSorted();
    others.removeAll(group);
    if (others.isEmpty())
        return;
    const int choice = askChoice(tr("Merge group"),
                                 tr("Move every strategy of %1 into which group? %1 is deleted then.").arg(group),
                                 others);
    if (choice >= 0)
        merge(group, others.at(choice));
}
