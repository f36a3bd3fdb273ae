#include "cdatabase.h"

#include "hostprofile.h"

CDataBase *CDataBase::GetInstance()
{
    static CDataBase *instance = new CDataBase;
    return instance;
}

QString CDataBase::GetStaticCfgValue(const QString &category, const QString &code)
{
    return HostProfile::current().staticText(category, code);
}
