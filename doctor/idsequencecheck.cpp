#include "idsequencecheck.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "storage/installationlayout.h"

#include <interprocidservice.h>

#include <QFile>

using InstallationLayout::IdService;
using StrategyLogic::DoctorSeverity;

namespace {
// The last id handed out, 0 when none was; false, with a finding, when the
// counter cannot be read.
bool readLastId(DoctorSurvey &survey, qint64 *last)
{
    const QString &path = survey.idSequencePath;
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        survey.add(QStringLiteral("id-sequence-unreadable"), DoctorSeverity::Error,
                   QStringLiteral("the id sequence %1 cannot be read (%2): no strategy can be added")
                       .arg(QLatin1String(IdService), file.errorString()),
                   path);
        return false;
    }
    const QByteArray text = file.read(64).trimmed();
    bool number = text.isEmpty();
    if (!text.isEmpty())
        *last = text.toLongLong(&number);
    if (!number || *last < 0) {
        survey.add(QStringLiteral("id-sequence-unreadable"), DoctorSeverity::Error,
                   QStringLiteral("the id sequence %1 is damaged (it holds %2): no id is handed out, so no strategy "
                                  "can be added; write the highest id ever handed out into it")
                       .arg(QLatin1String(IdService), DoctorText::quoted(QString::fromUtf8(text))),
                   path);
        return false;
    }
    return true;
}
} // namespace

void IdSequenceCheck::run(DoctorSurvey &survey)
{
    const QString path = InterProcIdService::instance().storageDirectory() + QLatin1Char('/')
                         + QLatin1String(IdService) + QLatin1String(".seq");
    survey.idSequencePath = path;
    qint64 last = 0;
    if (!readLastId(survey, &last))
        return;
    if (last >= InterProcIdService::MaxId) {
        survey.add(QStringLiteral("id-sequence-exhausted"), DoctorSeverity::Error,
                   QStringLiteral("the id sequence %1 has handed out its last id: no strategy can be added")
                       .arg(QLatin1String(IdService)),
                   path);
        return;
    }
    if (last < survey.highestStoredId) {
        survey.idSequenceBehind = true;
        survey.add(QStringLiteral("id-sequence-behind"), DoctorSeverity::Error,
                   QStringLiteral("the id sequence %1 stands at %2, below the highest stored id %3: new strategies "
                                  "would be given ids that are taken")
                       .arg(QLatin1String(IdService))
                       .arg(last)
                       .arg(survey.highestStoredId),
                   path, QStringLiteral("raise the id sequence to %1").arg(survey.highestStoredId));
    }
}
