#ifndef GROUPSFILECHECK_H
#define GROUPSFILECHECK_H

class QByteArray;
class QString;
struct DoctorSurvey;

// The user's groups file, read as the plug-in's start reads it: that it
// can be read and is UTF-8 text, entries the reader skips or reads
// otherwise than they are written, and the default group. Leaves the
// groups in the survey for the data file's check and the repair. Reads
// only.
class GroupsFileCheck
{
public:
    static void run(DoctorSurvey &survey);

private:
    static void checkEntries(DoctorSurvey &survey, const QByteArray &content, const QString &path);
};

#endif // GROUPSFILECHECK_H
