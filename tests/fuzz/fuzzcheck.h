#ifndef FUZZCHECK_H
#define FUZZCHECK_H

#include <QByteArray>
#include <QDebug>
#include <QLoggingCategory>
#include <QString>

#include <cstdio>
#include <cstdlib>

// What the fuzz targets share. A broken property is printed and the process
// aborted, so that libFuzzer treats it like a crash: it stops, keeps the
// input as an artifact and fails the run.

[[noreturn]] inline void fuzzFail(const char *property, const QString &detail)
{
    std::fprintf(stderr, "==FUZZ CHECK FAILED== %s\n%s\n", property, qUtf8Printable(detail));
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition, detail)                                                                          \
    do {                                                                                                       \
        if (!(condition))                                                                                      \
            fuzzFail(#condition, (detail));                                                                    \
    } while (false)

// A value as QDebug shows it: strings quoted, control characters and
// non-ASCII escaped, so the report says exactly which text differed.
template <typename T>
QString shown(const T &value)
{
    QString text;
    QDebug(&text).nospace() << value;
    return text;
}

// The library's debug lines would cost more time than the code they
// describe; warnings and worse stay visible.
inline void quietDebugOutput()
{
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
}

#endif // FUZZCHECK_H
