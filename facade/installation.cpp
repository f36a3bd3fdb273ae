#include <StrategyLogic/installation.h>

#include "registry/groupsfile.h"
#include "services/pendingjournal.h"
#include "storage/changehistory.h"
#include "storage/fixedstrategyfile.h"
#include "storage/installationlayout.h"

QString StrategyLogic::defaultGroupName()
{
    return InstallationLayout::DefaultGroup;
}

QString StrategyLogic::autoStartGroupName()
{
    return InstallationLayout::AutoStartGroup;
}

QString StrategyLogic::idServiceName()
{
    return QLatin1String(InstallationLayout::IdService);
}

StrategyLogic::InstallationFiles StrategyLogic::installationFiles(const QString &appDir, const QString &userId)
{
    // A QString: the builder of one would refer to the lambda's temporaries
    // after it returned.
    const auto in = [](const QString &folder, const char *name) -> QString {
        return folder + QLatin1Char('/') + QLatin1String(name);
    };
    InstallationFiles files;
    files.database = in(appDir, InstallationLayout::DatabaseFile);
    files.pendingJournal = PendingJournal::path(appDir);
    files.pythonIni = in(appDir, InstallationLayout::PythonIniFile);
    files.simuDatabase = in(appDir, InstallationLayout::SimuTradeDatabaseFile);
    files.userFolder = in(in(appDir, InstallationLayout::WorkFolder), userId.toUtf8().constData());
    files.userFolderValid = FixedStrategyFile::isValidUserFolder(userId);
    files.dataFile = in(files.userFolder, FixedStrategyFile::FileName);
    files.groupsFile = in(files.userFolder, GroupsFile::FileName);
    files.history = in(files.userFolder, ChangeHistory::FileName);
    files.olderHistory = in(files.userFolder, ChangeHistory::OlderFileName);
    return files;
}
