// The reference host's profile, loaded from arbitrary bytes and then read
// through every accessor.
//
// Properties: a load succeeds exactly for a JSON object; a failed load says
// why and leaves the profile it found (the demo profile, or one just loaded)
// exactly as it was; a successful load answers with its own source and its
// own fund accounts.

#include "fuzzcheck.h"

#include <hostprofile.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdint>

namespace {
constexpr int MaxKeysRead = 8;

struct Probe
{
    QStringList symbols;
    QList<QPair<QString, QString>> texts; // category, code
};

// Symbols and codes of the demo profile and of the README's example, a few
// that no profile knows, and the first ones the input names.
Probe probeFor(const QJsonObject &root)
{
    Probe probe;
    probe.symbols = QStringList{"600000", "IF2412", "10007890", "rb2505", "", "unknown"};
    probe.texts = {{"investType", "1"}, {"investType", "3"}, {"positionEffect", "2"}, {"", ""}, {"none", "1"}};
    const QJsonObject types = root.value("securityTypes").toObject();
    for (auto it = types.begin(); it != types.end() && probe.symbols.size() < 6 + MaxKeysRead; ++it)
        probe.symbols.append(it.key());
    const QJsonObject texts = root.value("staticTexts").toObject();
    for (auto cat = texts.begin(); cat != texts.end() && probe.texts.size() < 5 + MaxKeysRead; ++cat) {
        const QJsonObject codes = cat.value().toObject();
        probe.texts.append({cat.key(), codes.isEmpty() ? QString() : codes.begin().key()});
    }
    return probe;
}

// Everything the accessors answer: what was asked, and the answer.
using View = QList<QPair<QString, QString>>;

View view(HostProfile &profile, const Probe &probe)
{
    View v{{QStringLiteral("source"), profile.source()},
           {QStringLiteral("loginAccount"), profile.loginAccount()},
           {QStringLiteral("userId"), profile.userId()},
           {QStringLiteral("autoStart"), profile.autoStart() ? QStringLiteral("true") : QStringLiteral("false")}};
    for (const tagUserAccountInfo &a : profile.fundAccounts()) {
        for (const QString *field : {&a.userId, &a.productId, &a.productName, &a.fundAccount, &a.accountType,
                                     &a.extInfo, &a.accountName})
            v.append({QStringLiteral("account"), *field});
    }
    for (const QString &symbol : probe.symbols)
        v.append({QStringLiteral("securityType ") + symbol, profile.securityType(symbol)});
    for (const auto &text : probe.texts)
        v.append({QStringLiteral("staticText ") + text.first + QLatin1Char(' ') + text.second,
                  profile.staticText(text.first, text.second)});
    return v;
}

QString describe(const View &v)
{
    QStringList lines;
    for (const auto &entry : v)
        lines.append(shown(entry.first) + QLatin1Char(' ') + shown(entry.second));
    return QLatin1String("  ") + lines.join(QLatin1String("\n  "));
}

bool isJsonObject(const QByteArray &bytes, QJsonObject *root)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    *root = doc.object();
    return true;
}

// Loads `bytes` over the profile in place and checks the outcome; true when
// the bytes were taken.
bool load(const QByteArray &bytes, const QString &source, const Probe &probe)
{
    HostProfile &profile = HostProfile::current();
    const View before = view(profile, probe);
    QJsonObject root;
    const bool isProfile = isJsonObject(bytes, &root);
    QString error;
    const bool loaded = profile.loadJson(bytes, source, &error);
    const View after = view(profile, probe);
    const auto detail = [&] {
        return QStringLiteral("bytes %1\nloaded %2, error %3\nbefore:\n%4\nafter:\n%5")
            .arg(shown(bytes), loaded ? "true" : "false", shown(error), describe(before), describe(after));
    };
    FUZZ_CHECK(loaded == isProfile, detail());
    if (!loaded) {
        FUZZ_CHECK(!error.isEmpty(), detail());
        FUZZ_CHECK(after == before, detail());
        return false;
    }
    FUZZ_CHECK(profile.source() == source, detail());
    FUZZ_CHECK(profile.fundAccounts().size() == root.value("fundAccounts").toArray().size(), detail());
    FUZZ_CHECK(profile.loginAccount() == root.value("loginAccount").toString(), detail());
    return true;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietDebugOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 20))
        return -1;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QJsonObject root;
    isJsonObject(bytes, &root);
    const Probe probe = probeFor(root);

    HostProfile::current().loadDemo();
    if (load(bytes, QStringLiteral("fuzz input"), probe)) {
        // A damaged copy of what was just loaded must not replace it.
        load(bytes + '}', QStringLiteral("damaged fuzz input"), probe);
        load(bytes.left(bytes.size() / 2), QStringLiteral("half of the fuzz input"), probe);
    }
    return 0;
}
