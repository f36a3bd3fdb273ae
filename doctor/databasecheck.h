#ifndef DATABASECHECK_H
#define DATABASECHECK_H

struct DoctorSurvey;

// The local database sarvek.db: that it is there and opens, its integrity,
// its tables and columns against StrategySchema, and the legacy table's
// rows waiting to be moved. Opens the file read-only: it is never created,
// written or given another journal mode from here. While another program
// holds the database, it says so and checks nothing else of it.
class DatabaseCheck
{
public:
    static void run(DoctorSurvey &survey);
};

#endif // DATABASECHECK_H
