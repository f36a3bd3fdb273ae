#include "zcore.h"

#include "cardelconstants.h"
#include "hostprofile.h"
#include "zqapplicationdir.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcZCore, "zq.core")

ZCore *ZCore::instance()
{
    // Never destroyed: settings may be read while the process shuts down.
    static ZCore *core = new ZCore;
    return core;
}

QString ZCore::settingsFilePath() const
{
    return ZqApplicationDir::path() + QLatin1Char('/') + QLatin1String(SettingsFileName);
}

QString ZCore::fullKey(const QString &key, const QString &group, const QString &subGroup)
{
    QString full;
    if (!group.isEmpty())
        full += group + QLatin1Char('/');
    if (!subGroup.isEmpty())
        full += subGroup + QLatin1Char('/');
    return full + key;
}

QVariant ZCore::settings(const QString &key, const QString &group, const QString &subGroup, QSettings::Scope scope)
{
    Q_UNUSED(scope)
    const QString full = fullKey(key, group, subGroup);
    QVariant value;
    {
        QMutexLocker locker(&m_mutex);
        QSettings file(settingsFilePath(), QSettings::IniFormat);
        value = file.value(full);
    }
    if (!value.isValid() && full == QLatin1String(CardelConstants::SettingFieldName::SarvekSetting::SarvekStragyAutoStart))
        value = HostProfile::current().autoStart();
    return value;
}

void ZCore::saveSetting(const QString &key, const QVariant &value, const QString &group, const QString &subGroup,
                        QSettings::Scope scope)
{
    Q_UNUSED(scope)
    QMutexLocker locker(&m_mutex);
    QSettings file(settingsFilePath(), QSettings::IniFormat);
    file.setValue(fullKey(key, group, subGroup), value);
    file.sync();
    if (file.status() != QSettings::NoError)
        qCWarning(lcZCore).noquote() << "cannot save setting" << key << "to" << file.fileName();
}
