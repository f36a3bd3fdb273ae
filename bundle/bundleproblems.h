#ifndef BUNDLEPROBLEMS_H
#define BUNDLEPROBLEMS_H

#include <StrategyLogic/strategybundle.h>

#include <QList>
#include <QString>

// The problems of one document as its readers note them, in the order of
// the document, up to a bound on their text. Without one a document within
// the size limit could make problems of many times its size: a member given
// twice a million times, each named by a pointer through a long member name.
// Past the bound problems are counted, not kept, and the last one says how
// many there were. Thread: any; one object per document.
class BundleProblems
{
public:
    // The characters of the pointers and messages kept; no real bundle comes
    // near it (40,000 problems take some 3 million).
    static constexpr qint64 MaxCharacters = 4 * 1024 * 1024;

    explicit BundleProblems(QList<StrategyLogic::BundleProblem> *list)
        : m_list(list)
    {
    }

    // Whether the next problem is kept: a caller spells a costly pointer only
    // then, and counts the problem with skip() otherwise.
    bool keeps() const { return m_characters < MaxCharacters; }
    void add(const QString &pointer, const QString &message);
    // Keeps the problem past the bound too: the one that ends the reading.
    void addLast(const QString &pointer, const QString &message);
    void skip() { ++m_skipped; }
    // Ends the list: the problems not kept, if any, as its last one.
    void finish();

private:
    QList<StrategyLogic::BundleProblem> *m_list;
    qint64 m_characters = 0;
    qint64 m_skipped = 0;
};

#endif // BUNDLEPROBLEMS_H
