#ifndef FUNDACCOUNTDATA_H
#define FUNDACCOUNTDATA_H

#include <QMetaType>
#include <QString>

/// \file
/// The record of a fund account.

/// A fund account offered to strategies, with its type code, the type's
/// display name and the type word Python strategies use ("stock",
/// "stock_margin", "futures", "option", "metal"; empty for other types).
struct FundAccountData
{
    QString fundAccount;     ///< the fund account
    QString accountType;     ///< type code: 1 cash, 2 credit, 3 credit special, 4 futures, 5 option, 6 metal, 7 CFETS
    QString accountTypeName; ///< display name of the type
    QString pyAccountType;   ///< the type word of Python strategies
    QString extInfo;         ///< a further text of the host's account record

    /// Equal in every field.
    bool operator==(const FundAccountData &o) const
    {
        return fundAccount == o.fundAccount && accountType == o.accountType && accountTypeName == o.accountTypeName
               && pyAccountType == o.pyAccountType && extInfo == o.extInfo;
    }
};

Q_DECLARE_METATYPE(FundAccountData)

#endif // FUNDACCOUNTDATA_H
