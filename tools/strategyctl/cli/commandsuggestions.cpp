#include "commandsuggestions.h"

#include "commandtable.h"

#include <QPair>
#include <QVector>

#include <algorithm>

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
        int distance = editDistance(wanted, name);
        // "strategy ad" is near "strategy add"; "lis" is near "strategy list".
        if (words.size() == 1 || command.words.size() == 1)
            distance = std::min(distance, editDistance(words.first(), command.words.last())
                                              + (command.words.size() > 1 ? 1 : 0));
        const int allowed = std::max(2, int(wanted.size()) / 3);
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
        if (editDistance(name, option.name) <= 2)
            hint = QStringLiteral(" (did you mean --%1?)").arg(option.name);
    }
    return hint;
}
