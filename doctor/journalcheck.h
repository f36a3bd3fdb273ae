#ifndef JOURNALCHECK_H
#define JOURNALCHECK_H

struct DoctorSurvey;

// The pending-row journal sarvek.pending.json: rows that wait for the
// database, or a journal the next start cannot read. Reads only.
class JournalCheck
{
public:
    static void run(DoctorSurvey &survey);
};

#endif // JOURNALCHECK_H
