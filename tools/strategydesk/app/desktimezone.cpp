#include "app/desktimezone.h"

#include <QFileInfo>
#include <QtGlobal>

void DeskTimeZone::pinSystemZone()
{
    const char *const systemZone = "/etc/localtime";
    if (qEnvironmentVariableIsSet("TZ") || !QFileInfo::exists(QString::fromLatin1(systemZone)))
        return;
    qputenv("TZ", QByteArray(":") + systemZone);
}
