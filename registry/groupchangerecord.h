#ifndef GROUPCHANGERECORD_H
#define GROUPCHANGERECORD_H

#include "storage/installationlayout.h"

#include <QString>

// A group change that rewrites two files, the data file and the groups
// file: a rename, or a delete together with the group's strategies. The
// change is recorded in "SarvekFixedStrategyGroups.redo" beside the groups
// file before either file is touched, and the record is removed once both
// are written. A start that finds a record (the process died in between)
// applies the change again and writes both files, so the two files always
// show the state before or after one whole change.
//
// The record is a JSON object (docs/formats.md), replaced through a
// temporary file.
struct GroupChangeRecord
{
    static constexpr const char *FileName = InstallationLayout::GroupChangeFile;

    enum Kind { Rename, Delete };
    enum ReadResult { Missing, Read, Damaged };

    Kind kind = Rename;
    QString group;               // the group renamed or deleted
    QString newName;             // Rename: the new name
    qint64 createTime = -1;      // Rename: the group's creation time, kept
    bool withStrategies = false; // Delete: its strategies go too

    // False with a reason when no record was written.
    bool write(const QString &path, QString *error) const;
    static ReadResult read(const QString &path, GroupChangeRecord *record, QString *error);
};

#endif // GROUPCHANGERECORD_H
