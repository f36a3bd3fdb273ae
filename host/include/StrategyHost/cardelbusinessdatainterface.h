#ifndef CARDELBUSINESSDATAINTERFACE_H
#define CARDELBUSINESSDATAINTERFACE_H

#include <QList>
#include <QString>

// One fund account of the logged-in user, as the client's account source
// reports it. Field order is part of the record's definition.
struct tagUserAccountInfo
{
    QString userId;        // 1
    QString productName;   // 2  the product's display text
    QString branchNo;      // 3
    QString customerNo;    // 4
    QString customerName;  // 5
    QString productId;     // 6  the product key
    QString productType;   // 7
    QString currency;      // 8
    QString marketCode;    // 9
    QString seatNo;        // 10
    QString accountStatus; // 11
    QString openDate;      // 12
    QString riskLevel;     // 13
    QString mainFlag;      // 14
    QString bankCode;      // 15
    QString bankAccount;   // 16
    QString assetProp;     // 17
    QString accountName;   // 18
    QString fundAccount;   // 19 the fund account
    QString accountType;   // 20 a Cardel_Values::FundAccountType code
    QString extInfo;       // 21 a further text
};

// The client's source of fund accounts.
class CardelBusinessDataInterface
{
public:
    // The fund accounts of the logged-in user, possibly none. The flags and
    // the number select what the client's own screens ask for; the reference
    // host answers every account of its profile whatever they are.
    static QList<tagUserAccountInfo> GetFundAccountList(bool onlyTradable, int businessType, bool withProducts);
};

#endif // CARDELBUSINESSDATAINTERFACE_H
