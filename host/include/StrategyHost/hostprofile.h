#ifndef HOSTPROFILE_H
#define HOSTPROFILE_H

#include "cardelbusinessdatainterface.h"

#include <QHash>
#include <QMutex>
#include <QString>

// What the reference host knows of its user and market: the login account
// and user id, the fund accounts with their products and type codes, the
// security type of each symbol, the display texts of codes, and the
// auto-start switch.
//
// It is read once, on first use, from "StrategyHostProfile.json" in the
// installation folder (ZqApplicationDir); without that file a built-in demo
// profile serves. Tests change it in-process with the setters. All methods
// are thread-safe.
class HostProfile
{
public:
    static constexpr const char *FileName = "StrategyHostProfile.json";

    static HostProfile &current();

    // Replaces the whole profile by the file's content. False with a reason
    // when the file cannot be read or is not a profile; nothing changes then.
    bool loadFile(const QString &path, QString *error = nullptr);
    // The same from the file's bytes; `source` is what source() answers.
    bool loadJson(const QByteArray &json, const QString &source, QString *error = nullptr);
    void loadDemo();
    // Forgets the profile; the next use reads the installation folder again.
    void reset();
    // The file the profile came from, or "built-in demo profile".
    QString source();

    QString loginAccount();
    void setLoginAccount(const QString &account);
    QString userId();
    void setUserId(const QString &id);
    bool autoStart();
    void setAutoStart(bool on);
    QList<tagUserAccountInfo> fundAccounts();
    void setFundAccounts(const QList<tagUserAccountInfo> &accounts);
    // Empty for a symbol the profile does not know.
    QString securityType(const QString &symbol);
    void setSecurityType(const QString &symbol, const QString &type);
    // Empty for an unknown category or code.
    QString staticText(const QString &category, const QString &code);
    void setStaticText(const QString &category, const QString &code, const QString &text);

private:
    struct Data
    {
        QString source;
        QString loginAccount;
        QString userId;
        bool autoStart = false;
        QList<tagUserAccountInfo> fundAccounts;
        QHash<QString, QString> securityTypes;
        QHash<QString, QHash<QString, QString>> staticTexts;
    };

    HostProfile() = default;
    static bool parseFile(const QString &path, Data *data, QString *error);
    static bool parseJson(const QByteArray &json, const QString &source, Data *data, QString *error);
    static Data demo();
    Data &loadedLocked();

    // State below is protected by m_mutex.
    QMutex m_mutex;
    bool m_loaded = false;
    Data m_data;
};

#endif // HOSTPROFILE_H
