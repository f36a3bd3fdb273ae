#include "hostprofile.h"

#include "cardel_values.h"
#include "tavrix_fields.h"
#include "tavrix_values.h"
#include "zqapplicationdir.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcHostProfile, "zq.hostprofile")

namespace {
tagUserAccountInfo account(const QString &productId, const QString &productName, const QString &fundAccount,
                           const QString &type, const QString &extInfo)
{
    tagUserAccountInfo a;
    a.productId = productId;
    a.productName = productName;
    a.fundAccount = fundAccount;
    a.accountType = type;
    a.extInfo = extInfo;
    return a;
}
} // namespace

HostProfile &HostProfile::current()
{
    // Never destroyed: the plug-in's shutdown may still ask for the user.
    static HostProfile *profile = new HostProfile;
    return *profile;
}

HostProfile::Data HostProfile::demo()
{
    Data d;
    d.source = QStringLiteral("built-in demo profile");
    d.loginAccount = QStringLiteral("Demo01");
    d.userId = QStringLiteral("Demo01");
    d.fundAccounts = {
        account("P001", QStringLiteral("稳健一号"), "880001", Cardel_Values::FundAccountType::Cash, "main"),
        account("P001", QStringLiteral("稳健一号"), "880002", Cardel_Values::FundAccountType::Credit, "margin"),
        account("P002", QStringLiteral("量化二号"), "990001", Cardel_Values::FundAccountType::Future, "CFFEX"),
        account("P002", QStringLiteral("量化二号"), "990002", Cardel_Values::FundAccountType::Option, "SSE"),
        account("P001", QStringLiteral("稳健一号"), "880003", Cardel_Values::FundAccountType::Metal, "SGE"),
        account("P003", QStringLiteral("银行间三号"), "770001", Cardel_Values::FundAccountType::CFETS, ""),
    };
    d.securityTypes = {
        {"600000", Tavrix_Values::MdcSecurityType::StockType},
        {"000001", Tavrix_Values::MdcSecurityType::StockType},
        {"510300", Tavrix_Values::MdcSecurityType::FundType},
        {"IF2412", Tavrix_Values::MdcSecurityType::FuturesType},
        {"rb2505", Tavrix_Values::MdcSecurityType::FuturesType},
        {"10007890", Tavrix_Values::MdcSecurityType::OptionType},
    };
    d.staticTexts[Tavrix_Fields::UserAccount::investType] = {
        {"1", QStringLiteral("投机")}, {"2", QStringLiteral("套利")}, {"3", QStringLiteral("套保")}};
    d.staticTexts[Tavrix_Fields::Security::positionEffect] = {
        {"1", QStringLiteral("开仓")}, {"2", QStringLiteral("平仓")}, {"3", QStringLiteral("平今")}};
    return d;
}

bool HostProfile::parseFile(const QString &path, Data *data, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return parseJson(file.readAll(), QFileInfo(path).absoluteFilePath(), data, error);
}

bool HostProfile::parseJson(const QByteArray &json, const QString &source, Data *data, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        if (error)
            *error = parseError.error != QJsonParseError::NoError
                         ? QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset)
                         : QStringLiteral("the document is not a JSON object");
        return false;
    }
    const QJsonObject root = doc.object();
    Data d;
    d.source = source;
    d.loginAccount = root.value("loginAccount").toString();
    d.userId = root.value("userId").toString(d.loginAccount);
    d.autoStart = root.value("autoStart").toBool(false);
    const QJsonArray accounts = root.value("fundAccounts").toArray();
    for (const QJsonValue &v : accounts) {
        const QJsonObject o = v.toObject();
        tagUserAccountInfo a = account(o.value("productId").toString(), o.value("productName").toString(),
                                       o.value("fundAccount").toString(), o.value("accountType").toString(),
                                       o.value("extInfo").toString());
        a.accountName = o.value("accountName").toString();
        a.userId = d.userId;
        d.fundAccounts.append(a);
    }
    const QJsonObject types = root.value("securityTypes").toObject();
    for (auto it = types.begin(); it != types.end(); ++it)
        d.securityTypes.insert(it.key(), it.value().toString());
    const QJsonObject texts = root.value("staticTexts").toObject();
    for (auto cat = texts.begin(); cat != texts.end(); ++cat) {
        const QJsonObject codes = cat.value().toObject();
        for (auto it = codes.begin(); it != codes.end(); ++it)
            d.staticTexts[cat.key()].insert(it.key(), it.value().toString());
    }
    *data = d;
    return true;
}

HostProfile::Data &HostProfile::loadedLocked()
{
    if (!m_loaded) {
        const QString path = ZqApplicationDir::path() + QLatin1Char('/') + QLatin1String(FileName);
        QString error;
        if (!QFileInfo::exists(path)) {
            m_data = demo();
        } else if (!parseFile(path, &m_data, &error)) {
            qCWarning(lcHostProfile).noquote() << "host profile" << path << "not used:" << error
                                               << "- using the built-in demo profile";
            m_data = demo();
        }
        m_loaded = true;
    }
    return m_data;
}

bool HostProfile::loadJson(const QByteArray &json, const QString &source, QString *error)
{
    Data d;
    if (!parseJson(json, source, &d, error))
        return false;
    QMutexLocker locker(&m_mutex);
    m_data = d;
    m_loaded = true;
    return true;
}

bool HostProfile::loadFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return loadJson(file.readAll(), QFileInfo(path).absoluteFilePath(), error);
}

void HostProfile::loadDemo()
{
    QMutexLocker locker(&m_mutex);
    m_data = demo();
    m_loaded = true;
}

void HostProfile::reset()
{
    QMutexLocker locker(&m_mutex);
    m_data = Data();
    m_loaded = false;
}

#define PROFILE_GET(expr) \
    QMutexLocker locker(&m_mutex); \
    return loadedLocked().expr
#define PROFILE_SET(stmt) \
    QMutexLocker locker(&m_mutex); \
    loadedLocked().stmt

QString HostProfile::source() { PROFILE_GET(source); }
QString HostProfile::loginAccount() { PROFILE_GET(loginAccount); }
void HostProfile::setLoginAccount(const QString &account) { PROFILE_SET(loginAccount = account); }
QString HostProfile::userId() { PROFILE_GET(userId); }
void HostProfile::setUserId(const QString &id) { PROFILE_SET(userId = id); }
bool HostProfile::autoStart() { PROFILE_GET(autoStart); }
void HostProfile::setAutoStart(bool on) { PROFILE_SET(autoStart = on); }
QList<tagUserAccountInfo> HostProfile::fundAccounts() { PROFILE_GET(fundAccounts); }
void HostProfile::setFundAccounts(const QList<tagUserAccountInfo> &accounts) { PROFILE_SET(fundAccounts = accounts); }
QString HostProfile::securityType(const QString &symbol) { PROFILE_GET(securityTypes.value(symbol)); }
void HostProfile::setSecurityType(const QString &symbol, const QString &type)
{
    PROFILE_SET(securityTypes.insert(symbol, type));
}
QString HostProfile::staticText(const QString &category, const QString &code)
{
    PROFILE_GET(staticTexts.value(category).value(code));
}
void HostProfile::setStaticText(const QString &category, const QString &code, const QString &text)
{
    PROFILE_SET(staticTexts[category].insert(code, text));
}
