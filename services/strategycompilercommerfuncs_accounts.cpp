// Fund accounts and products of StrategyCompilerCommerFuncs.

#include "strategycompilercommerfuncs.h"
#include "storage/strategylogging.h"

#include <cardel_values.h>
#include <cardelbusinessdatainterface.h>

namespace {
struct AccountType
{
    const char *code;
    const char *name;
    const char *pyType;
};

// Compared in this order; anything else is unknown.
const AccountType accountTypes[] = {
    {Cardel_Values::FundAccountType::Cash, Cardel_Values::FundAccountTypeName::Cash, "stock"},
    {Cardel_Values::FundAccountType::Credit, Cardel_Values::FundAccountTypeName::Credit, "stock_margin"},
    {Cardel_Values::FundAccountType::CreditSpecial, Cardel_Values::FundAccountTypeName::CreditSpecial, ""},
    {Cardel_Values::FundAccountType::Future, Cardel_Values::FundAccountTypeName::Future, "futures"},
    {Cardel_Values::FundAccountType::Option, Cardel_Values::FundAccountTypeName::Option, "option"},
    {Cardel_Values::FundAccountType::Metal, Cardel_Values::FundAccountTypeName::Metal, "metal"},
    {Cardel_Values::FundAccountType::CFETS, Cardel_Values::FundAccountTypeName::CFETS, ""},
};

const AccountType *findAccountType(const QString &code)
{
    for (const AccountType &type : accountTypes) {
        if (code == QString::fromUtf8(type.code))
            return &type;
    }
    return nullptr;
}
} // namespace

void StrategyCompilerCommerFuncs::refreshAccount()
{
    SL_DEBUG << "befroe StrategyCompilerCommerFuncs CardelBusinessDataInterface::GetFundAccountList";
    const QList<tagUserAccountInfo> accounts = CardelBusinessDataInterface::GetFundAccountList(false, 16, true);
    SL_DEBUG << "after StrategyCompilerCommerFuncs CardelBusinessDataInterface::GetFundAccountList" << accounts.size();
    {
        QWriteLocker locker(&m_accountLock);
        m_fundAccountMap.clear();
        m_productList.clear();
        for (const tagUserAccountInfo &account : accounts) {
            auto product = m_fundAccountMap.find(account.productId);
            if (product == m_fundAccountMap.end()) {
                m_productList.append(ProductData{account.productId, account.productName});
                product = m_fundAccountMap.insert(account.productId, {});
            }
            if (product->contains(account.fundAccount))
                continue; // the first record of a product and account wins
            const AccountType *type = findAccountType(account.accountType);
            FundAccountData data;
            data.fundAccount = account.fundAccount;
            data.accountType = account.accountType;
            data.accountTypeName = QString::fromUtf8(type ? type->name : Cardel_Values::FundAccountTypeName::UNKNOWN);
            data.pyAccountType = QString::fromUtf8(type ? type->pyType : "");
            data.extInfo = account.extInfo;
            SL_DEBUG << "---produc222" << account.productId << "---" << data.fundAccount << data.pyAccountType
                     << data.accountType;
            product->insert(account.fundAccount, data);
        }
    }
    emit sigFundAccountChanged();
}

QList<FundAccountData> StrategyCompilerCommerFuncs::getFundAccountList(QString productId)
{
    QReadLocker locker(&m_accountLock);
    return m_fundAccountMap.value(productId).values();
}

bool StrategyCompilerCommerFuncs::getFundAccountRelaInfo(const QString &fundAccount, QString &productId,
                                                         FundAccountData &data)
{
    QReadLocker locker(&m_accountLock);
    for (auto product = m_fundAccountMap.cbegin(); product != m_fundAccountMap.cend(); ++product) {
        auto account = product->constFind(fundAccount);
        if (account != product->cend()) {
            productId = product.key();
            data = account.value();
            return true;
        }
    }
    return false;
}

QString StrategyCompilerCommerFuncs::getFundAccountTypeName_py(const QString &accountType)
{
    const AccountType *type = findAccountType(accountType);
    return QString::fromUtf8(type ? type->pyType : "");
}

QList<ProductData> StrategyCompilerCommerFuncs::getProductList()
{
    QReadLocker locker(&m_accountLock);
    return m_productList;
}
