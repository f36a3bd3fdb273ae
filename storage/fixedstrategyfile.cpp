#include "fixedstrategyfile.h"

#include "storage/repeatedtexts.h"
#include "storage/strategylogging.h"
#include "storage/utf8text.h"

#include <QVarLengthArray>
#include <QVector>

#include <algorithm>
#include <cstring>

QString FixedStrategyFile::path(const QString &applicationDir, const QString &userFolder)
{
    // The loader names the folder by the lower-cased user id, the writers by
    // the login account: lower-casing both lets them meet on a
    // case-sensitive file system, as they do on the client's.
    return applicationDir + QLatin1String("/work/") + userFolder.toLower() + QLatin1Char('/')
           + QLatin1String(FileName);
}

QString FixedStrategyFile::formatLine(const FixedStrategyInfo &info)
{
    QString line;
    appendLine(line, info);
    return line;
}

void FixedStrategyFile::appendLine(QString &out, const FixedStrategyInfo &info)
{
    const QLatin1String sep(Separator);
    out += QString::number(info.id) + sep + info.name + sep + info.filePath + sep + info.group + sep + info.extraInfo
           + sep + QString::number(info.copyIndex) + QLatin1Char('\n');
}

namespace {
// Appends the UTF-8 form of `text`, the bytes QString::toUtf8() gives,
// without a QByteArray of its own per field.
void appendUtf8(QByteArray &out, const QString &text)
{
    const int size = text.size();
    const ushort *chars = text.utf16();
    const int start = out.size();
    out.resize(start + size * 3);
    char *at = out.data() + start;
    for (int i = 0; i < size; ++i) {
        const ushort c = chars[i];
        if (c < 0x80) {
            *at++ = char(c);
        } else if (c < 0x800) {
            *at++ = char(0xC0 | (c >> 6));
            *at++ = char(0x80 | (c & 0x3F));
        } else if (c < 0xD800 || c > 0xDFFF) {
            *at++ = char(0xE0 | (c >> 12));
            *at++ = char(0x80 | ((c >> 6) & 0x3F));
            *at++ = char(0x80 | (c & 0x3F));
        } else {
            // Surrogates, paired or not: as Qt encodes them.
            out.resize(start);
            out += text.toUtf8();
            return;
        }
    }
    out.resize(int(at - out.constData()));
}

void appendNumber(QByteArray &out, qint64 value)
{
    char digits[24];
    int at = sizeof digits;
    const bool negative = value < 0;
    quint64 rest = negative ? 0 - quint64(value) : quint64(value);
    do {
        digits[--at] = char('0' + rest % 10);
        rest /= 10;
    } while (rest);
    if (negative)
        digits[--at] = '-';
    out.append(digits + at, int(sizeof digits) - at);
}

// Decodes well-formed UTF-8 of characters that every decoder takes (no
// overlong forms, surrogates, values beyond U+10FFFF or noncharacters) into
// a text of exactly its length; false, deciding nothing, for anything else.
bool decodeWellFormed(const unsigned char *bytes, int size, QString *text)
{
    QVarLengthArray<ushort, 256> units(size); // never more units than bytes
    int count = 0;
    for (int i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        char32_t value = 0;
        int length = 0;
        char32_t lowest = 0;
        if (lead < 0x80) {
            units[count++] = lead;
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            value = lead & 0x1F;
            length = 2;
            lowest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            value = lead & 0x0F;
            length = 3;
            lowest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            value = lead & 0x07;
            length = 4;
            lowest = 0x10000;
        } else {
            return false;
        }
        if (i + length > size)
            return false;
        for (int k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
            value = (value << 6) | (bytes[i + k] & 0x3F);
        }
        if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)
            || (value >= 0xFDD0 && value <= 0xFDEF) || (value & 0xFFFE) == 0xFFFE)
            return false;
        if (value >= 0x10000) {
            units[count++] = ushort(0xD800 + ((value - 0x10000) >> 10));
            units[count++] = ushort(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
            units[count++] = ushort(value);
        }
        i += length;
    }
    *text = QString(reinterpret_cast<const QChar *>(units.constData()), count);
    return true;
}

// The text of one field's bytes; false when they are not UTF-8 text.
bool decodeField(const char *bytes, int size, QString *text)
{
    if (size == 0) {
        static const QString empty = QLatin1String(""); // empty, not null
        *text = empty;
        return true;
    }
    // ASCII, as paths and most other fields are, is its own UTF-8.
    int i = 0;
    while (i < size && static_cast<unsigned char>(bytes[i]) < 0x80)
        ++i;
    if (i == size) {
        *text = QString::fromLatin1(bytes, size);
        return true;
    }
    if (decodeWellFormed(reinterpret_cast<const unsigned char *>(bytes), size, text))
        return true;
    bool isText = false;
    *text = Utf8Text::decode(bytes, size, &isText);
    return isText;
}

// A number field: digits alone, as most are, read directly; anything else
// as QString::toInt() reads it (0 when it is no 32-bit decimal number).
bool decodeNumber(const char *bytes, int size, int *number)
{
    if (size > 0 && size <= 9) {
        int value = 0;
        int i = 0;
        for (; i < size && bytes[i] >= '0' && bytes[i] <= '9'; ++i)
            value = value * 10 + (bytes[i] - '0');
        if (i == size) {
            *number = value;
            return true;
        }
    }
    QString text;
    if (!decodeField(bytes, size, &text))
        return false;
    *number = text.toInt();
    return true;
}

// Parses one line's bytes (no line feed) into `info`: false for a line of
// fewer than six fields, or one that holds a NUL or is not UTF-8 text.
// Each field is decoded on its own: a separator is ASCII, so no UTF-8
// sequence spans two fields and the line is text exactly when every piece
// of it is.
bool parseLine(const char *line, int size, FixedStrategyInfo *info, RepeatedTexts *groups)
{
    if (std::memchr(line, '\0', size_t(size)))
        return false;
    const char *const end = line + size;
    const char *parts[6];
    int sizes[6];
    int found = 0;
    const char *from = line;
    while (found < 6) {
        const char *at = from;
        while (at + 2 < end && !(at[0] == ',' && at[1] == '%' && at[2] == '&'))
            ++at;
        if (at + 2 >= end) {
            parts[found] = from;
            sizes[found++] = int(end - from);
            from = end;
            break;
        }
        parts[found] = from;
        sizes[found++] = int(at - from);
        from = at + 3;
    }
    if (found < 6)
        return false;
    int id = 0;
    if (!decodeNumber(parts[0], sizes[0], &id) || !decodeField(parts[1], sizes[1], &info->name)
        || !decodeField(parts[2], sizes[2], &info->filePath) || !groups->text(parts[3], sizes[3], &info->group,
                         [&](QString *made) { return decodeField(parts[3], sizes[3], made); })
        || !decodeField(parts[4], sizes[4], &info->extraInfo) || !decodeNumber(parts[5], sizes[5], &info->copyIndex))
        return false;
    info->id = id;
    // Fields past the sixth are not read, but they are part of the line.
    if (from < end) {
        QString rest;
        return decodeField(from, int(end - from), &rest);
    }
    return true;
}
} // namespace

void FixedStrategyFile::appendLineUtf8(QByteArray &out, const FixedStrategyInfo &info)
{
    const char *const sep = Separator;
    appendNumber(out, info.id);
    out.append(sep, 3);
    appendUtf8(out, info.name);
    out.append(sep, 3);
    appendUtf8(out, info.filePath);
    out.append(sep, 3);
    appendUtf8(out, info.group);
    out.append(sep, 3);
    appendUtf8(out, info.extraInfo);
    out.append(sep, 3);
    appendNumber(out, info.copyIndex);
    out.append('\n');
}

QList<FixedStrategyInfo> FixedStrategyFile::parse(const QByteArray &content, Skipped *skipped)
{
    return parseRecords(content, skipped).toList();
}

QVector<FixedStrategyInfo> FixedStrategyFile::parseRecords(const QByteArray &content, Skipped *skipped)
{
    QVector<FixedStrategyInfo> records;
    const bool logging = lcStrategyLogic().isDebugEnabled();
    int skippedLines = 0;
    int firstSkipped = 0;
    RepeatedTexts groups; // the group repeats on most lines
    // A byte order mark before the first line is tolerated, as an editor
    // may add one; anywhere else it is a character of its line.
    const char *data = content.constData();
    const char *const end = data + content.size();
    if (content.startsWith("\xEF\xBB\xBF"))
        data += 3;
    // Line by line from the bytes, by the whole length: a NUL byte ends
    // nothing. A line that is not text is skipped rather than changed.
    // A record per line, as a rule: the vector is made its size at once,
    // with room for some records more (the store keeps it and adds to it;
    // growing a vector of a million records copies all of them).
    records.reserve(int(std::count(data, end, '\n')) + 1 + 64);
    int number = 1;
    for (const char *lineStart = data; lineStart <= end; ++number) {
        const char *lineEnd = static_cast<const char *>(std::memchr(lineStart, '\n', size_t(end - lineStart)));
        if (!lineEnd)
            lineEnd = end;
        const int size = int(lineEnd - lineStart);
        FixedStrategyInfo info;
        if (parseLine(lineStart, size, &info, &groups)) {
            if (logging)
                SL_DEBUG << "FixedStrategyFile::parse" << info.id << info.name << info.filePath << info.group
                         << info.extraInfo << info.copyIndex;
            records.append(info);
        } else if (size > 0 && skippedLines++ == 0) {
            firstSkipped = number;
        }
        lineStart = lineEnd + 1;
    }
    if (skipped)
        *skipped = Skipped{skippedLines, firstSkipped};
    return records;
}

bool FixedStrategyFile::isValidUserFolder(const QString &userFolder)
{
    return !userFolder.isEmpty() && userFolder != QLatin1String(".") && userFolder != QLatin1String("..")
           && !userFolder.contains(QLatin1Char('/')) && !userFolder.contains(QLatin1Char('\\'))
           && !userFolder.contains(QChar(0));
}

bool FixedStrategyFile::canHold(const QString &value)
{
    return !value.contains(QLatin1String(Separator)) && !value.contains(QLatin1Char('\n'))
           && !value.contains(QLatin1Char('\r')) && !value.contains(QChar(0));
}

bool FixedStrategyFile::canHold(const FixedStrategyInfo &info)
{
    return canHold(info.name) && canHold(info.filePath) && canHold(info.group) && canHold(info.extraInfo);
}
