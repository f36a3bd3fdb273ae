// The reader of the fixed-strategy data file, fed arbitrary bytes.
//
// Properties:
// - every record whose texts the file can hold comes back unchanged from
//   its own formatted line, and all of them together from one file;
// - the skipped count and the first skipped line stay within the lines;
// - a line that is not text, added at the end, changes nothing but the
//   skipped count (every line is read on its own, whatever the others hold);
// - a line of anything between two good lines leaves both of them read.

#include "fuzzcheck.h"

#include "storage/fixedstrategyfile.h"

#include <algorithm>
#include <cstdint>

namespace {
using Skipped = FixedStrategyFile::Skipped;

QString describe(const FixedStrategyInfo &r)
{
    return QStringLiteral("{%1, %2, %3, %4, %5, %6}")
        .arg(r.id)
        .arg(shown(r.name), shown(r.filePath), shown(r.group), shown(r.extraInfo))
        .arg(r.copyIndex);
}

QString describe(const QList<FixedStrategyInfo> &records)
{
    QStringList parts;
    for (const FixedStrategyInfo &r : records)
        parts.append(describe(r));
    return QLatin1Char('[') + parts.join(QLatin1String(", ")) + QLatin1Char(']');
}

QString describe(const Skipped &s)
{
    return QStringLiteral("skipped %1 lines, the first at %2").arg(s.lines).arg(s.firstLine);
}

QByteArray lineOf(const FixedStrategyInfo &info)
{
    return FixedStrategyFile::formatLine(info).toUtf8();
}

void checkCounts(const QByteArray &content, int records, const Skipped &skipped)
{
    // The pieces between line feeds, the empty one after the last included.
    const int lines = content.count('\n') + 1;
    const auto detail = [&] {
        return QStringLiteral("%1 lines, %2 records, %3").arg(lines).arg(records).arg(describe(skipped));
    };
    FUZZ_CHECK(skipped.lines >= 0 && skipped.lines <= lines, detail());
    FUZZ_CHECK(records + skipped.lines <= lines, detail());
    FUZZ_CHECK((skipped.lines == 0) == (skipped.firstLine == 0), detail());
    FUZZ_CHECK(skipped.firstLine >= 0 && skipped.firstLine <= lines, detail());
}

void checkRoundTrip(const QList<FixedStrategyInfo> &records, QList<FixedStrategyInfo> *holdable)
{
    QByteArray file;
    for (const FixedStrategyInfo &record : records) {
        if (!FixedStrategyFile::canHold(record))
            continue;
        const QByteArray line = lineOf(record);
        Skipped skipped;
        const QList<FixedStrategyInfo> again = FixedStrategyFile::parse(line, &skipped);
        FUZZ_CHECK(again.size() == 1 && again.first() == record && skipped.lines == 0,
                   QStringLiteral("record %1\nline %2\nread back as %3, %4")
                       .arg(describe(record), shown(line), describe(again), describe(skipped)));
        file += line;
        holdable->append(record);
    }
    const QList<FixedStrategyInfo> all = FixedStrategyFile::parse(file);
    FUZZ_CHECK(all == *holdable, QStringLiteral("records %1\nfile %2\nread back as %3")
                                     .arg(describe(*holdable), shown(file), describe(all)));
}

void checkBadLineAtEnd(const QByteArray &content, const QList<FixedStrategyInfo> &records, const Skipped &skipped)
{
    // 0xFF never occurs in UTF-8.
    const QByteArray longer = content + "\n\xff";
    const int badLine = content.count('\n') + 2;
    Skipped longerSkipped;
    const QList<FixedStrategyInfo> longerRecords = FixedStrategyFile::parse(longer, &longerSkipped);
    const auto detail = [&] {
        return QStringLiteral("content %1\nread as %2, %3\nwith a line 0xFF added: %4, %5")
            .arg(shown(content), describe(records), describe(skipped), describe(longerRecords),
                 describe(longerSkipped));
    };
    FUZZ_CHECK(longerRecords == records, detail());
    FUZZ_CHECK(longerSkipped.lines == skipped.lines + 1, detail());
    FUZZ_CHECK(longerSkipped.firstLine == (skipped.lines > 0 ? skipped.firstLine : badLine), detail());
}

void checkLineBetweenGoodLines(const QByteArray &content, const QList<FixedStrategyInfo> &holdable)
{
    const FixedStrategyInfo first{17, QStringLiteral("abc"), QStringLiteral("D:/s/abc.py"),
                                  QString::fromUtf8("默认分组"), QString(), 0};
    const FixedStrategyInfo last = holdable.isEmpty()
                                       ? FixedStrategyInfo{2147483647, QStringLiteral(" x "), QStringLiteral("%&"),
                                                           QStringLiteral("&,%"), QString::fromUtf8("ü"), -2}
                                       : holdable.last();
    QByteArray junk = content;
    junk.truncate(int(std::remove(junk.begin(), junk.end(), '\n') - junk.begin()));
    const QByteArray sandwich = lineOf(first) + junk + '\n' + lineOf(last);
    Skipped skipped;
    const QList<FixedStrategyInfo> records = FixedStrategyFile::parse(sandwich, &skipped);
    const auto detail = [&] {
        return QStringLiteral("content %1\nread as %2, %3").arg(shown(sandwich), describe(records), describe(skipped));
    };
    FUZZ_CHECK(records.size() == 2 || records.size() == 3, detail());
    FUZZ_CHECK(records.first() == first && records.last() == last, detail());
    if (records.size() == 3)
        FUZZ_CHECK(skipped.lines == 0, detail());
    else if (!junk.isEmpty())
        FUZZ_CHECK(skipped.lines == 1 && skipped.firstLine == 2, detail());
    else
        FUZZ_CHECK(skipped.lines == 0, detail());
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
    Skipped skipped;
    const QList<FixedStrategyInfo> records = FixedStrategyFile::parse(content, &skipped);
    checkCounts(content, records.size(), skipped);
    QList<FixedStrategyInfo> holdable;
    checkRoundTrip(records, &holdable);
    checkBadLineAtEnd(content, records, skipped);
    checkLineBetweenGoodLines(content, holdable);
    return 0;
}
