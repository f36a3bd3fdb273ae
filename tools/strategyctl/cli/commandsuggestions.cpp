#include "commandsuggestions.h"

#include "commandtable.h"

#include <QPair>
#include <QVector>

#include <algorithm>
#include <cstdlib>

namespace {
// Whether `a` and `b` may be within `allowed` edits: every edit changes the
// length by one at most, so words of lengths further apart are not compared
// (a long word against short names costs no more than reading it).
bool mayBeNear(const QString &a, const QString &b, int allowed)
{
    return std::abs(int(a.size()) - int(b.size())) <= allowed;
}
} // namespace

int CommandSuggestions::editDistance(const QString &a, const QString &b)
{
    QVector<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a.at(i - 1) == b.at(j - 1) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

QStringList CommandSuggestions::commands(const CommandTable &table, const QStringList &words)
{
    const QString wanted = words.mid(0, 2).join(QLatin1Char(' '));
    QList<QPair<int, QString>> scored;
    for (const CommandTable::Command &command : table.commands()) {
        if (command.hidden)
            continue;
        const QString name = command.name();
        const int allowed = std::max(2, int(wanted.size()) / 3);
        int distance = mayBeNear(wanted, name, allowed) ? editDistance(wanted, name) : allowed + 1;
        // "strategy ad" is near "strategy add"; "lis" is near "strategy list".
        if (words.size() == 1 || command.words.size() == 1) {
            const int extra = command.words.size() > 1 ? 1 : 0;
            if (mayBeNear(words.first(), command.words.last(), allowed - extra))
                distance = std::min(distance, editDistance(words.first(), command.words.last()) + extra);
        }
        if (distance <= allowed)
            scored.append({distance, name});
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const QPair<int, QString> &a, const QPair<int, QString> &b) { return a.first < b.first; });
    QStringList names;
    for (const auto &candidate : qAsConst(scored)) {
        if (!names.contains(candidate.second))
            names.append(candidate.second);
        if (names.size() == 3)
            break;
    }
    return names;
}

QString CommandSuggestions::option(const QList<OptionSpec> &options, const QString &name)
{
    // The last near one is named.
    QString hint;
    for (const OptionSpec &option : options) {
        if (mayBeNear(name, option.name, 2) && editDistance(name, option.name) <= 2)
            hint = QStringLiteral(" (did you mean --%1?)").arg(option.name);
    }
    return hint;
}
