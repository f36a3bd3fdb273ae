#include "pythonpathcheck.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "storage/installationlayout.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

using StrategyLogic::DoctorSeverity;

void PythonPathCheck::run(DoctorSurvey &survey)
{
    const QString ini = survey.appDir + QLatin1Char('/') + QLatin1String(InstallationLayout::PythonIniFile);
    if (!QFileInfo(ini).isFile())
        return;
    const QString key = QLatin1String(InstallationLayout::PythonIniGroup) + QLatin1Char('/')
                        + QLatin1String(InstallationLayout::PythonPathKey);
    const QString python = QSettings(ini, QSettings::IniFormat).value(key).toString();
    if (!python.isEmpty() && !QFileInfo(QDir(survey.appDir), python).exists())
        survey.add(QStringLiteral("python-path-missing"), DoctorSeverity::Warning,
                   QStringLiteral("the Python installation path %1 of %2 does not exist on this machine: strategies "
                                  "cannot run until it is set again")
                       .arg(DoctorText::quoted(python), QLatin1String(InstallationLayout::PythonIniFile)),
                   ini);
}
