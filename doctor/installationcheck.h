#ifndef INSTALLATIONCHECK_H
#define INSTALLATIONCHECK_H

#include "doctor/doctorsurvey.h"

// The checks of an installation folder, in the order their findings come:
// the folder, the database, the journal, the user, the user's group change
// record, groups file and data file, the id sequence, files kept aside,
// leftover temporary files, the Python path. It reads the files the way
// the plug-in's start reads them (the same parsers) but starts nothing,
// since the start creates, migrates and repairs files, which would hide
// what is wrong. Reads only; thread: any (one survey per call).
class InstallationCheck
{
public:
    // `appDir` absolute and cleaned; `heldByDoctor`: the caller holds the
    // folder's lock for the repairs.
    static DoctorSurvey survey(const QString &appDir, bool heldByDoctor);
};

#endif // INSTALLATIONCHECK_H
