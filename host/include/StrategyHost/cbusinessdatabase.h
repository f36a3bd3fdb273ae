#ifndef CBUSINESSDATABASE_H
#define CBUSINESSDATABASE_H

#include <QMap>
#include <QString>
#include <QVariant>

// The client's login and business data, served from the host profile.
// Thread-safe.
class CBusinessDataBase
{
public:
    static CBusinessDataBase *GetInstance();

    // The logged-in account as text.
    QString GetLoginAccount();
    // The login details; the user id under Tavrix_Fields::UserAccount::userID
    // (absent while the profile names no user).
    QMap<QString, QVariant> GetLoginAccountDetail();
    // A Tavrix_Values::MdcSecurityType text; empty for an unknown symbol.
    QString GetSecurityTypeBySymbol(const QString &symbol);

private:
    CBusinessDataBase() = default;
};

#endif // CBUSINESSDATABASE_H
