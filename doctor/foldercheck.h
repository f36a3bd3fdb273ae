#ifndef FOLDERCHECK_H
#define FOLDERCHECK_H

#include <QString>

struct DoctorSurvey;

// The installation folder: that it is there, that it and the folders the
// plug-in writes in can be written, and who holds it. Reads only.
class FolderCheck
{
public:
    // False when there is no folder, so nothing else can be checked.
    static bool run(DoctorSurvey &survey);
    // An error finding when `dir` is a folder that cannot be written; `what`
    // names it in the message. A folder that is not there is not one.
    static void checkWritable(DoctorSurvey &survey, const QString &dir, const QString &what);
};

#endif // FOLDERCHECK_H
