#ifndef LEFTOVERFILESCHECK_H
#define LEFTOVERFILESCHECK_H

struct DoctorSurvey;

// Files left beside the plug-in's own: files kept aside as *.unreadable-*
// (nobody removes them but a person), and the temporary copies
// "<file>.XXXXXX" of a writer that was killed. While the folder is held
// (by another process, or by this process's plug-in), a temporary file may
// be a write in progress and is not reported. Leaves the leftover temporary files in the survey for the
// repair. Reads only.
class LeftoverFilesCheck
{
public:
    static void checkKeptAside(DoctorSurvey &survey);
    static void checkTemporaryFiles(DoctorSurvey &survey);
};

#endif // LEFTOVERFILESCHECK_H
