#ifndef CDATABASE_H
#define CDATABASE_H

#include <QString>

// The client's table of display texts, served from the host profile.
// Thread-safe.
class CDataBase
{
public:
    static CDataBase *GetInstance();

    // The display text of a code within a category (a field-name constant);
    // empty when the table has none.
    QString GetStaticCfgValue(const QString &category, const QString &code);

private:
    CDataBase() = default;
};

#endif // CDATABASE_H
