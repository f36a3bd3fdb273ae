#ifndef DOCTORTEXT_H
#define DOCTORTEXT_H

#include <QList>
#include <QString>
#include <QStringList>

// The pieces the doctor's English messages are made of. Thread: any.
class DoctorText
{
public:
    // 'text'.
    static QString quoted(const QString &text);
    // "a, b, c and 2 more": a message names a few examples, not all.
    static QString someOf(const QStringList &items);
    // "1 line", "2 lines".
    static QString plural(int n, const char *one, const char *many);
    // "3, 7, 12".
    static QString numbers(const QList<int> &lines);
};

#endif // DOCTORTEXT_H
