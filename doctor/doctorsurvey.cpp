#include "doctorsurvey.h"

DoctorSurvey::DoctorSurvey(const QString &appDir, bool heldByDoctor)
    : appDir(appDir)
    , heldByDoctor(heldByDoctor)
{
}

void DoctorSurvey::add(const QString &id, StrategyLogic::DoctorSeverity severity, const QString &message,
                       const QString &path, const QString &fix)
{
    findings.append(StrategyLogic::DoctorFinding{id, severity, message, fix, path});
}

QString DoctorSurvey::groupsFileFix(const QString &fix) const
{
    return groupsFileChangeable ? fix : QString();
}
