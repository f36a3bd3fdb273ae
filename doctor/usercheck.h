#ifndef USERCHECK_H
#define USERCHECK_H

struct DoctorSurvey;

// The host profile and the user's identity: whether the reference host's
// StrategyHostProfile.json can be used, whether the user id names a folder
// below work/ and the login account the same user. Sets the survey's
// userDir when the user id names a folder. The user is the host's
// (CBusinessDataBase). Reads only.
class UserCheck
{
public:
    static void run(DoctorSurvey &survey);

private:
    static void checkHostProfile(DoctorSurvey &survey);
    static void checkIdentity(DoctorSurvey &survey);
};

#endif // USERCHECK_H
