#ifndef GROUPSFILE_H
#define GROUPSFILE_H

#include "storage/installationlayout.h"

#include <StrategyLogic/sarvekgroupinfo.h>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// The groups file "SarvekFixedStrategyGroups.txt": one line without a line
// end, the groups joined by ",", each its name, ";" and its creation time
// in decimal. UTF-8 without a byte order mark; no escaping, so a name may
// hold neither "," nor ";".
class GroupsFile
{
public:
    static constexpr const char *FileName = InstallationLayout::GroupsFile;

    // The groups of a file's bytes, by name: an entry with fewer than two
    // parts is skipped, a time that is not a number reads as 0, further
    // parts are ignored, a later entry of a name replaces an earlier one.
    // The bytes are UTF-8 by their whole length, whatever they begin with:
    // no other encoding is guessed from a byte order mark, and a U+FEFF is
    // kept as a character, so that a written name reads back the same.
    static QMap<QString, SarvekGroupInfo> parse(const QByteArray &content);
    // Whether the bytes are UTF-8 text; where they are not, parse() reads
    // U+FFFD for what is not, and the original is worth keeping.
    static bool isText(const QByteArray &content);
    // The file's text for the groups, in their order.
    static QString format(const QList<SarvekGroupInfo> &groups);
    // Whether a name survives a write and a read unchanged.
    static bool canHold(const QString &name);
};

#endif // GROUPSFILE_H
