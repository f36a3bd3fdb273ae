#include "models/simutrademodel.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <tavrix_fields.h>

#include <QCoreApplication>

namespace {
using namespace Tavrix_Fields;

QStringList allColumns(SimuTradeModel::Kind kind)
{
    if (kind == SimuTradeModel::Kind::Orders)
        return {Security::orderID,      Security::symbol,     System::createTime,           Security::side,
                Security::orderQty,     Security::price,      Security::cumQty,             Security::leaveQty,
                Security::avgPx,        Security::orderStatus, Security::orderType,         CustomField::priceType,
                UserAccount::investType, Security::positionEffect, UserAccount::tradingAccount,
                UserAccount::entrustProp, System::textDescription, Security::algoOrderID};
    return {Security::orderID,  Security::symbol, Security::exchangeMatchDate, Security::execID,
            Security::side,     Security::lastQty, Security::lastPx,           UserAccount::investType,
            Security::positionEffect, UserAccount::tradingAccount, Strategy::strategyID};
}

QStringList compactColumns(SimuTradeModel::Kind kind)
{
    if (kind == SimuTradeModel::Kind::Orders)
        return {Security::orderID,  Security::symbol, System::createTime, Security::side,
                Security::orderQty, Security::price,  Security::cumQty,   Security::orderStatus,
                UserAccount::investType, Security::positionEffect};
    return {Security::orderID, Security::symbol,  Security::exchangeMatchDate, Security::execID,
            Security::side,    Security::lastQty, Security::lastPx,            Security::positionEffect};
}

QString title(const QString &key)
{
    static const QMap<QString, const char *> titles{
        {Security::orderID, QT_TRANSLATE_NOOP("SimuTradeModel", "Order")},
        {Security::symbol, QT_TRANSLATE_NOOP("SimuTradeModel", "Symbol")},
        {System::createTime, QT_TRANSLATE_NOOP("SimuTradeModel", "Time")},
        {Security::side, QT_TRANSLATE_NOOP("SimuTradeModel", "Side")},
        {Security::orderQty, QT_TRANSLATE_NOOP("SimuTradeModel", "Quantity")},
        {Security::price, QT_TRANSLATE_NOOP("SimuTradeModel", "Price")},
        {Security::cumQty, QT_TRANSLATE_NOOP("SimuTradeModel", "Filled")},
        {Security::leaveQty, QT_TRANSLATE_NOOP("SimuTradeModel", "Left")},
        {Security::avgPx, QT_TRANSLATE_NOOP("SimuTradeModel", "Average price")},
        {Security::orderStatus, QT_TRANSLATE_NOOP("SimuTradeModel", "Status")},
        {Security::orderType, QT_TRANSLATE_NOOP("SimuTradeModel", "Type")},
        {CustomField::priceType, QT_TRANSLATE_NOOP("SimuTradeModel", "Price style")},
        {UserAccount::investType, QT_TRANSLATE_NOOP("SimuTradeModel", "Invest type")},
        {Security::positionEffect, QT_TRANSLATE_NOOP("SimuTradeModel", "Position effect")},
        {UserAccount::tradingAccount, QT_TRANSLATE_NOOP("SimuTradeModel", "Fund account")},
        {UserAccount::entrustProp, QT_TRANSLATE_NOOP("SimuTradeModel", "Entrust property")},
        {System::textDescription, QT_TRANSLATE_NOOP("SimuTradeModel", "Text")},
        {Security::algoOrderID, QT_TRANSLATE_NOOP("SimuTradeModel", "Instance")},
        {Strategy::strategyID, QT_TRANSLATE_NOOP("SimuTradeModel", "Instance")},
        {Security::exchangeMatchDate, QT_TRANSLATE_NOOP("SimuTradeModel", "Match time")},
        {Security::execID, QT_TRANSLATE_NOOP("SimuTradeModel", "Fill")},
        {Security::lastQty, QT_TRANSLATE_NOOP("SimuTradeModel", "Quantity")},
        {Security::lastPx, QT_TRANSLATE_NOOP("SimuTradeModel", "Price")},
    };
    return QCoreApplication::translate("SimuTradeModel", titles.value(key, ""));
}
} // namespace

SimuTradeModel::SimuTradeModel(Kind kind, QObject *parent)
    : QAbstractTableModel(parent)
    , m_kind(kind)
    , m_visible(compactColumns(kind))
{
}

void SimuTradeModel::setRows(const QList<QMap<QString, QVariant>> &rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

void SimuTradeModel::setShowAll(bool all)
{
    if (all == m_all)
        return;
    beginResetModel();
    m_all = all;
    m_visible = all ? allColumns(m_kind) : compactColumns(m_kind);
    endResetModel();
}

int SimuTradeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int SimuTradeModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_visible.size();
}

QString SimuTradeModel::text(const QMap<QString, QVariant> &row, const QString &key) const
{
    const QString symbol = row.value(Security::symbol).toString();
    const QString value = row.value(key).toString();
    if (key == UserAccount::investType)
        return StrategyFileLogicHandler::getInvestType(symbol, value);
    if (key == Security::positionEffect)
        return StrategyFileLogicHandler::getPositionEffectString(symbol, value);
    return value;
}

QVariant SimuTradeModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return text(m_rows.at(index.row()), m_visible.at(index.column()));
    return QVariant();
}

QVariant SimuTradeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_visible.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return title(m_visible.at(section));
}
