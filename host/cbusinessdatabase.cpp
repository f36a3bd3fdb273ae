#include "cbusinessdatabase.h"

#include "hostprofile.h"
#include "tavrix_fields.h"

CBusinessDataBase *CBusinessDataBase::GetInstance()
{
    static CBusinessDataBase *instance = new CBusinessDataBase;
    return instance;
}

QString CBusinessDataBase::GetLoginAccount()
{
    return HostProfile::current().loginAccount();
}

QMap<QString, QVariant> CBusinessDataBase::GetLoginAccountDetail()
{
    QMap<QString, QVariant> detail;
    HostProfile &profile = HostProfile::current();
    const QString account = profile.loginAccount();
    const QString user = profile.userId();
    if (!account.isEmpty())
        detail.insert(Tavrix_Fields::UserAccount::loginAccount, account);
    if (!user.isEmpty())
        detail.insert(Tavrix_Fields::UserAccount::userID, user);
    return detail;
}

QString CBusinessDataBase::GetSecurityTypeBySymbol(const QString &symbol)
{
    return HostProfile::current().securityType(symbol);
}
