#ifndef FUNDACCOUNTDATA_H
#define FUNDACCOUNTDATA_H

#include <QMetaType>
#include <QString>

// A fund account offered to strategies, with its type code, the type's
// display name and the type word Python strategies use ("stock",
// "stock_margin", "futures", "option", "metal"; empty for other types).
struct FundAccountData
{
    QString fundAccount;
    QString accountType;
    QString accountTypeName;
    QString pyAccountType;
    QString extInfo;

    bool operator==(const FundAccountData &o) const
    {
        return fundAccount == o.fundAccount && accountType == o.accountType && accountTypeName == o.accountTypeName
               && pyAccountType == o.pyAccountType && extInfo == o.extInfo;
    }
};

Q_DECLARE_METATYPE(FundAccountData)

#endif // FUNDACCOUNTDATA_H
