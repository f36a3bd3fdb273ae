#include "usercheck.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "doctor/foldercheck.h"
#include "storage/fixedstrategyfile.h"
#include "storage/installationlayout.h"

#include <cbusinessdatabase.h>
#include <tavrix_fields.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

using StrategyLogic::DoctorSeverity;

namespace {
// The reference host's profile (its HostProfile::FileName); a client's
// libraries keep their own data and have no such file, and the plug-in
// does not include the reference host's own headers.
constexpr char HostProfileFile[] = "StrategyHostProfile.json";
} // namespace

void UserCheck::run(DoctorSurvey &survey)
{
    checkHostProfile(survey);
    checkIdentity(survey);
}

void UserCheck::checkHostProfile(DoctorSurvey &survey)
{
    const QString path = survey.appDir + QLatin1Char('/') + QLatin1String(HostProfileFile);
    if (!QFileInfo::exists(path))
        return;
    QFile file(path);
    QString problem;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else {
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
        if (parseError.error != QJsonParseError::NoError)
            problem = QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
        else if (!doc.isObject())
            problem = QStringLiteral("the document is not a JSON object");
    }
    if (!problem.isEmpty())
        survey.add(QStringLiteral("host-profile-unreadable"), DoctorSeverity::Error,
                   QStringLiteral("the host profile %1 cannot be used (%2): the reference host falls back to its "
                                  "demo user, whose files are not this user's")
                       .arg(QLatin1String(HostProfileFile), problem),
                   path);
}

void UserCheck::checkIdentity(DoctorSurvey &survey)
{
    CBusinessDataBase *business = CBusinessDataBase::GetInstance();
    const QString userId =
        business->GetLoginAccountDetail().value(QLatin1String(Tavrix_Fields::UserAccount::userID)).toString();
    const QString login = business->GetLoginAccount();
    const QString user = userId.toLower();
    if (!FixedStrategyFile::isValidUserFolder(user)) {
        survey.add(QStringLiteral("user-id-invalid"), DoctorSeverity::Error,
                   QStringLiteral("the user id %1 names no folder below work/: the plug-in neither loads nor "
                                  "changes fixed strategies and groups")
                       .arg(DoctorText::quoted(userId)),
                   QString());
        return;
    }
    if (login.toLower() != user)
        survey.add(QStringLiteral("host-profile-user-mismatch"), DoctorSeverity::Error,
                   QStringLiteral("the login account %1 and the user id %2 name different users; the plug-in uses "
                                  "work/%3")
                       .arg(DoctorText::quoted(login), DoctorText::quoted(userId), user),
                   QString());
    survey.userDir = survey.appDir + QLatin1Char('/') + QLatin1String(InstallationLayout::WorkFolder)
                     + QLatin1Char('/') + user;
    FolderCheck::checkWritable(survey, survey.userDir, QStringLiteral("the user's folder"));
}
