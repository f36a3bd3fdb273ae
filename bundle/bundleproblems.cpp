#include "bundle/bundleproblems.h"

void BundleProblems::add(const QString &pointer, const QString &message)
{
    if (!keeps()) {
        skip();
        return;
    }
    m_characters += pointer.size() + message.size();
    m_list->append({pointer, message});
}

void BundleProblems::addLast(const QString &pointer, const QString &message)
{
    m_characters += pointer.size() + message.size();
    m_list->append({pointer, message});
}

void BundleProblems::finish()
{
    if (m_skipped > 0)
        m_list->append({QString(), (m_skipped == 1 ? QStringLiteral("1 more problem is not listed")
                                                   : QStringLiteral("%1 more problems are not listed").arg(m_skipped))
                                       + QStringLiteral(": the list stops at %1 characters").arg(MaxCharacters)});
    m_skipped = 0;
}
