#include "cardelbusinessdatainterface.h"

#include "hostprofile.h"

QList<tagUserAccountInfo> CardelBusinessDataInterface::GetFundAccountList(bool onlyTradable, int businessType,
                                                                          bool withProducts)
{
    Q_UNUSED(onlyTradable)
    Q_UNUSED(businessType)
    Q_UNUSED(withProducts)
    return HostProfile::current().fundAccounts();
}
