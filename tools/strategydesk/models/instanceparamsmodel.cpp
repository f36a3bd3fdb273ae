#include "models/instanceparamsmodel.h"

#include <StrategyLogic/displaytext.h>

#include <algorithm>

namespace {
bool sameParam(const ZParamData &a, const ZParamData &b)
{
    return a.paramIndex == b.paramIndex && a.paramName == b.paramName && a.paramValue == b.paramValue
        && a.paramType == b.paramType && a.paramFlag == b.paramFlag && a.paramDesc == b.paramDesc
        && a.paramRange == b.paramRange && a.paramPrecision == b.paramPrecision
        && a.paramDefault == b.paramDefault && a.paramGroup == b.paramGroup;
}
} // namespace

InstanceParamsModel::InstanceParamsModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int InstanceParamsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_params.size();
}

int InstanceParamsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant InstanceParamsModel::field(const ZParamData &param, int column) const
{
    switch (column) {
    case Index:
        return param.paramIndex;
    case Name:
        return param.paramName;
    case Value:
        return param.paramValue;
    case Type:
        return param.paramType;
    case Flag:
        return param.paramFlag;
    case Description:
        return param.paramDesc;
    case Range:
        return param.paramRange;
    case Precision:
        return param.paramPrecision;
    case Default:
        return param.paramDefault;
    case Group:
        return param.paramGroup;
    }
    return QVariant();
}

QVariant InstanceParamsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const QVariant value = field(m_params.at(index.row()), index.column());
    switch (role) {
    case Qt::DisplayRole:
        // Texts on one line; a default that is not set shows nothing.
        if (value.userType() == QMetaType::QString)
            return StrategyLogic::visibleText(value.toString());
        return value;
    case Qt::ToolTipRole:
        if (value.userType() == QMetaType::QString && !value.toString().isEmpty())
            return value;
        break;
    case Qt::TextAlignmentRole:
        if (value.userType() == QMetaType::Int)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    }
    return QVariant();
}

QVariant InstanceParamsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Index:
        return tr("Index");
    case Name:
        return tr("Name");
    case Value:
        return tr("Value");
    case Type:
        return tr("Type");
    case Flag:
        return tr("Flag");
    case Description:
        return tr("Description");
    case Range:
        return tr("Range");
    case Precision:
        return tr("Precision");
    case Default:
        return tr("Default");
    case Group:
        return tr("Group");
    }
    return QVariant();
}

Qt::ItemFlags InstanceParamsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void InstanceParamsModel::setParams(const QList<ZParamData> &params)
{
    if (params.size() == m_params.size()
        && std::equal(params.cbegin(), params.cend(), m_params.cbegin(), sameParam))
        return;
    beginResetModel();
    m_params = params;
    endResetModel();
}
