// The strategy server's instance list as the plug-in receives it
// (StrategyCompilerCommerFuncs::initHisInstanceData), built from arbitrary
// bytes: read as a JSON object of objects, one entry per member (basic
// parameters written as a JSON object are passed on as JSON text, the way
// the server sends them), plus one entry whose basic parameters are the raw
// bytes themselves. A member's name picks one of 32 instance ids, and after
// each input the ids it used get empty entries again: every input meets the
// same registry, so it fails or passes on its own, and the registry does
// not grow with the run.
//
// Property: for every id, getInstanceParams(id) holds exactly the members of
// the JSON object given as basic parameters other than the nine settings, a
// string member with its text and any other member with an empty value;
// basic parameters that are not a JSON object give none.

#include "fuzzcheck.h"

#include "services/strategycompilercommerfuncs.h"

#include <interprocidservice.h>
#include <tavrix_fields.h>
#include <zqapplicationdir.h>

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>

namespace {
using namespace Tavrix_Fields::Strategy;
using Param = QPair<QString, QString>;

// Members of the basic parameters that are settings, not user parameters.
const QStringList SettingKeys = {
    "account_info",         "LogDataSaveType",        "operate_mode", "python_home",   "show_strategy_cmd",
    "strategy_batch_index", "fundaccount_trade_push", "time_unit",    "instance_name",
};
const QString RawInputId = QStringLiteral("raw input");
constexpr uint InstanceIds = 32;

QString instanceId(const QString &name)
{
    return QStringLiteral("instance-") + QString::number(qHash(name) % InstanceIds);
}

// Whatever the service writes (its ini file, the id sequences) goes to a
// folder of this run, removed at the end; never to the user's folders.
QTemporaryDir &home()
{
    static QTemporaryDir dir(QDir::tempPath() + QLatin1String("/strategylogic-fuzz-XXXXXX"));
    return dir;
}

// Empty entries of the given ids: what every input starts from.
QHash<QString, QVariantMap> blankList(const QList<QString> &ids)
{
    QHash<QString, QVariantMap> blank;
    for (const QString &id : ids)
        blank.insert(id, QVariantMap());
    return blank;
}

QList<QString> allIds()
{
    QList<QString> ids{RawInputId};
    for (uint i = 0; i < InstanceIds; ++i)
        ids.append(QStringLiteral("instance-") + QString::number(i));
    return ids;
}

QHash<QString, QVariantMap> instanceList(const QByteArray &bytes)
{
    QHash<QString, QVariantMap> list;
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QJsonObject fields = it.value().toObject();
        QVariantMap entry = fields.toVariantMap();
        const QJsonValue basic = fields.value(QLatin1String(strategyBasicParam));
        if (basic.isObject())
            entry.insert(strategyBasicParam,
                         QString::fromUtf8(QJsonDocument(basic.toObject()).toJson(QJsonDocument::Compact)));
        list.insert(instanceId(it.key()), entry); // a later member of the same id replaces an earlier one
    }
    list.insert(RawInputId, QVariantMap{{strategyName, QStringLiteral("raw")},
                                        {strategyInstanceName, QStringLiteral("raw input")},
                                        {strategyInstanceValidBeginTime, QStringLiteral("1764725400000")},
                                        {strategyBasicParam, QString::fromUtf8(bytes)}});
    return list;
}

QList<Param> expectedParams(const QVariantMap &entry)
{
    QList<Param> params;
    const QJsonDocument doc = QJsonDocument::fromJson(entry.value(strategyBasicParam).toString().toUtf8());
    const QJsonObject basic = doc.object(); // empty for anything but an object
    for (auto it = basic.begin(); it != basic.end(); ++it) {
        if (!SettingKeys.contains(it.key()))
            params.append({it.key(), it.value().isString() ? it.value().toString() : QString()});
    }
    std::sort(params.begin(), params.end());
    return params;
}

QString describe(const QList<Param> &params)
{
    QStringList parts;
    for (const Param &p : params)
        parts.append(shown(p.first) + '=' + shown(p.second));
    return QLatin1Char('[') + parts.join(QLatin1String(", ")) + QLatin1Char(']');
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    quietDebugOutput();
    // The service's timers belong to the application's thread, as in the
    // client; the application is never destroyed, like the fuzzer's process.
    static QCoreApplication *app = new QCoreApplication(*argc, *argv);
    Q_UNUSED(app)
    if (!home().isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder: %s\n", qUtf8Printable(home().errorString()));
        std::exit(1);
    }
    const QString appDir = home().filePath(QStringLiteral("app"));
    const QString idDir = home().filePath(QStringLiteral("ids"));
    if (!QDir().mkpath(appDir) || !QDir().mkpath(idDir)) {
        std::fprintf(stderr, "cannot create folders in %s\n", qUtf8Printable(home().path()));
        std::exit(1);
    }
    ZqApplicationDir::setPath(appDir);
    InterProcIdService::instance().setStorageDirectory(idDir);
    // Created after the folder, so destroyed before it at exit.
    StrategyCompilerCommerFuncs::instance()->initHisInstanceData(blankList(allIds()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 20))
        return -1;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QHash<QString, QVariantMap> list = instanceList(bytes);
    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
    service->initHisInstanceData(list);
    for (auto it = list.cbegin(); it != list.cend(); ++it) {
        QList<Param> actual;
        for (const ZParamData &param : service->getInstanceParams(it.key())) {
            FUZZ_CHECK(!SettingKeys.contains(param.paramName),
                       QStringLiteral("instance %1 has the setting %2 among its parameters")
                           .arg(shown(it.key()), shown(param.paramName)));
            actual.append({param.paramName, param.paramValue});
        }
        std::sort(actual.begin(), actual.end());
        const QList<Param> expected = expectedParams(*it);
        FUZZ_CHECK(actual == expected, QStringLiteral("instance %1, basic parameters %2\nexpected %3\nfound    %4")
                                           .arg(shown(it.key()), shown(it->value(strategyBasicParam)),
                                                describe(expected), describe(actual)));
    }
    service->initHisInstanceData(blankList(list.keys()));
    return 0;
}
