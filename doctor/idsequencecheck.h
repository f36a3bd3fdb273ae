#ifndef IDSEQUENCECHECK_H
#define IDSEQUENCECHECK_H

struct DoctorSurvey;

// The machine-wide id sequence of fixed-strategy ids, read from its counter file
// as the reference host's InterProcIdService keeps it (a missing file is a
// sequence that has handed out nothing): readable, not exhausted, and not
// below the highest stored id (after DataFileCheck). Reads only; the
// sequence is neither registered nor drawn from.
class IdSequenceCheck
{
public:
    static void run(DoctorSurvey &survey);
};

#endif // IDSEQUENCECHECK_H
