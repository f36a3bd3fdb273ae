#ifndef BUNDLEDOCUMENTREADER_H
#define BUNDLEDOCUMENTREADER_H

#include "bundle/bundledocument.h"
#include "bundle/bundleproblems.h"

#include <QDate>
#include <QHash>
#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>

#include <functional>

// Takes a bundle's JSON values into a BundleDocument and notes every
// problem of them, each at its JSON pointer, in the order of the document:
// what is missing, of the wrong type or out of range, texts the data file,
// the groups file or the database cannot hold, times they would not give
// back as they are (read in this machine's time zone), and what no single member
// shows (records given twice, groups not listed, built-in groups given a
// time). When the format or the version is not this one, nothing else is
// checked. Thread: any; one object per document.
class BundleDocumentReader
{
public:
    explicit BundleDocumentReader(BundleProblems *problems);

    void read(const QJsonValue &root, BundleDocument *document);

private:
    // Where a text is kept, and so what it cannot hold.
    enum class Kept {
        Anywhere, // the database or a settings file: no NUL
        DataFile, // a field of the data file: no ",%&", CR, LF or NUL
        Groups,   // a group name: the data file's rule, and no "," or ";" (the groups file's separators)
    };
    using EachObject = std::function<void(const QJsonObject &, const QString &)>;
    using EachValue = std::function<void(const QJsonValue &, const QString &)>;

    bool readFormat(const QJsonObject &doc);
    void readStrategies(const QJsonObject &doc, BundleDocument *document);
    void readGroups(const QJsonObject &doc, BundleDocument *document);
    void readInstances(const QJsonObject &doc, BundleDocument *document);
    void readDays(const QJsonObject &doc, BundleDocument *document);
    void crossCheck(const BundleDocument &document);
    void checkGroups(const BundleDocument &document, QHash<QString, int> *groups);

    // Problems for values the stores would not give back as they are.
    void instanceTimesKept(const InstanceInfo &info, const QString &at);
    void groupTimeKept(const QDateTime &created, const QString &at);
    static QString notGivenBack(const QDateTime &time, qint64 msecs, const QString &store);

    void problem(const QString &pointer, const QString &message);
    void notEmpty(const QJsonObject &o, const QString &at, const QString &key, const QString &message);
    bool take(const QJsonObject &o, const QString &pointer, const QString &key, QJsonValue *value);
    void forEachObject(const QJsonObject &doc, const QString &key, const EachObject &each);
    void forEach(const QJsonObject &doc, const QString &key, const EachValue &each);
    QString text(const QJsonObject &o, const QString &pointer, const QString &key, Kept kept);
    QString text(const QJsonValue &value, const QString &at, Kept kept);
    qint64 whole(const QJsonObject &o, const QString &pointer, const QString &key, qint64 min, qint64 max,
                 qint64 fallback = 0);
    double amount(const QJsonObject &o, const QString &pointer, const QString &key);
    QDateTime time(const QJsonObject &o, const QString &pointer, const QString &key, bool nullable);
    QDate date(const QJsonObject &o, const QString &pointer, const QString &key);

    BundleProblems *m_problems;
    // While a record that is not an object stands as one of default values:
    // its members are not reported missing.
    bool m_quiet = false;
};

#endif // BUNDLEDOCUMENTREADER_H
