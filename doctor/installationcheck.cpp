#include "installationcheck.h"

#include "doctor/databasecheck.h"
#include "doctor/datafilecheck.h"
#include "doctor/foldercheck.h"
#include "doctor/groupchangecheck.h"
#include "doctor/groupsfilecheck.h"
#include "doctor/idsequencecheck.h"
#include "doctor/journalcheck.h"
#include "doctor/leftoverfilescheck.h"
#include "doctor/pythonpathcheck.h"
#include "doctor/usercheck.h"

DoctorSurvey InstallationCheck::survey(const QString &appDir, bool heldByDoctor)
{
    DoctorSurvey survey(appDir, heldByDoctor);
    if (!FolderCheck::run(survey))
        return survey;
    DatabaseCheck::run(survey);
    JournalCheck::run(survey);
    UserCheck::run(survey);
    if (!survey.userDir.isEmpty()) {
        GroupChangeCheck::run(survey);
        GroupsFileCheck::run(survey); // before the data file: the records' groups are looked up in it
        DataFileCheck::run(survey);
    }
    IdSequenceCheck::run(survey); // after the data file: its highest id
    LeftoverFilesCheck::checkKeptAside(survey);
    LeftoverFilesCheck::checkTemporaryFiles(survey);
    PythonPathCheck::run(survey);
    return survey;
}
