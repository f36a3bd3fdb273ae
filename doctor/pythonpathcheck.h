#ifndef PYTHONPATHCHECK_H
#define PYTHONPATHCHECK_H

struct DoctorSurvey;

// The Python installation path of ZqProEngineConfig.ini: that it exists on
// this machine. Reads only (QSettings writes nothing back while nothing
// was set).
class PythonPathCheck
{
public:
    static void run(DoctorSurvey &survey);
};

#endif // PYTHONPATHCHECK_H
