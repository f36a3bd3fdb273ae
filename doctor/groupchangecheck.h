#ifndef GROUPCHANGECHECK_H
#define GROUPCHANGECHECK_H

struct DoctorSurvey;

// The records of an interrupted group change (SarvekFixedStrategyGroups.redo
// in the user's folder) and of an interrupted import
// (SarvekStrategyImport.redo). While one waits, or cannot be read, the
// groups file is not the doctor's to change. Reads only.
class GroupChangeCheck
{
public:
    static void run(DoctorSurvey &survey);

private:
    static void checkImport(DoctorSurvey &survey);
};

#endif // GROUPCHANGECHECK_H
