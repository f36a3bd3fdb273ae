// The reader and writer of the groups file, fed arbitrary bytes.
//
// Properties: the groups read are keyed by their own names, which the file
// can hold; writing them and reading the text again gives the same groups;
// bytes that isText() calls text are read without losing a byte (a byte
// order mark at the start aside).

#include "fuzzcheck.h"

#include "registry/groupsfile.h"

#include <cstdint>

namespace {
QString describe(const QMap<QString, SarvekGroupInfo> &groups)
{
    QStringList parts;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        parts.append(shown(it.key()) + QLatin1String(": ") + shown(it->name) + QLatin1Char(';')
                     + QString::number(it->createTime));
    return QLatin1Char('{') + parts.join(QLatin1String(", ")) + QLatin1Char('}');
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietDebugOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 20))
        return -1;
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));
    const QMap<QString, SarvekGroupInfo> groups = GroupsFile::parse(content);
    if (GroupsFile::isText(content)) {
        // A byte order mark at the start is not part of the text.
        const QByteArray bytes = content.startsWith("\xEF\xBB\xBF") ? content.mid(3) : content;
        const QString text = QString::fromUtf8(content.constData(), content.size());
        FUZZ_CHECK(text.toUtf8() == bytes,
                   QStringLiteral("content %1 is called text, but reads as %2").arg(shown(content), shown(text)));
    }
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        FUZZ_CHECK(it.key() == it->name, QStringLiteral("content %1\nread as %2").arg(shown(content), describe(groups)));
        FUZZ_CHECK(GroupsFile::canHold(it->name),
                   QStringLiteral("content %1\nread as %2").arg(shown(content), describe(groups)));
    }
    const QByteArray written = GroupsFile::format(groups.values()).toUtf8();
    const QMap<QString, SarvekGroupInfo> again = GroupsFile::parse(written);
    FUZZ_CHECK(again == groups, QStringLiteral("content %1\nread as %2\nwritten as %3\nread back as %4")
                                    .arg(shown(content), describe(groups), shown(written), describe(again)));
    return 0;
}
