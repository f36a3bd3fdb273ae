#ifndef ZCORE_H
#define ZCORE_H

#include <QMutex>
#include <QSettings>
#include <QString>
#include <QVariant>

// The client's user settings. The reference host keeps them in the ini file
// "ZqUserSettings.ini" in the installation folder (ZqApplicationDir).
//
// group and subGroup, when not empty, are put in front of the key as
// "group/subGroup/key"; the scope is accepted and not used. A value is on
// disk when saveSetting() returns. Thread-safe; every call reads the file
// afresh, so values saved by another process are seen.
class ZCore
{
public:
    static constexpr const char *SettingsFileName = "ZqUserSettings.ini";

    static ZCore *instance();

    // An absent key gives an invalid QVariant. The auto-start switch
    // (CardelConstants::SettingFieldName::SarvekSetting::SarvekStragyAutoStart)
    // falls back to the host profile's "autoStart" while the file lacks it.
    QVariant settings(const QString &key, const QString &group = QString(), const QString &subGroup = QString(),
                      QSettings::Scope scope = QSettings::UserScope);
    void saveSetting(const QString &key, const QVariant &value, const QString &group = QString(),
                     const QString &subGroup = QString(), QSettings::Scope scope = QSettings::UserScope);

    QString settingsFilePath() const;

private:
    ZCore() = default;
    static QString fullKey(const QString &key, const QString &group, const QString &subGroup);

    QMutex m_mutex; // serialises access to the ini file
};

#endif // ZCORE_H
