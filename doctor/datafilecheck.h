#ifndef DATAFILECHECK_H
#define DATAFILECHECK_H

struct DoctorSurvey;

// The user's data file, line by line with the plug-in's own reader so that
// every finding names its lines: lines skipped and why, invalid and
// duplicate ids, empty and duplicate names, values the next rewrite would
// write otherwise, and groups the records name that the groups file lacks
// (after GroupsFileCheck). Leaves the highest stored id and the missing
// groups in the survey. Reads only.
class DataFileCheck
{
public:
    static void run(DoctorSurvey &survey);
};

#endif // DATAFILECHECK_H
