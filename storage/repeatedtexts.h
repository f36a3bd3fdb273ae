#ifndef REPEATEDTEXTS_H
#define REPEATEDTEXTS_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstring>

// Texts that repeat from record to record (the group on most lines of the
// data file, the instance id of one instance's days): the last few distinct
// ones are kept by their bytes, and a repeat shares the text made before,
// which spares an allocation and the memory of a copy per record.
class RepeatedTexts
{
public:
    // The text of `size` bytes: the one made before for the same bytes, or
    // the one `make(QString *)` makes. False, keeping nothing, when `make`
    // answers false.
    template<typename Make>
    bool text(const char *bytes, int size, QString *text, Make make)
    {
        for (const Entry &entry : qAsConst(m_entries)) {
            if (entry.bytes.size() == size && std::memcmp(entry.bytes.constData(), bytes, size_t(size)) == 0) {
                *text = entry.text;
                return true;
            }
        }
        if (!make(text))
            return false;
        const Entry entry{QByteArray(bytes, size), *text};
        if (m_entries.size() < Kept)
            m_entries.append(entry);
        else
            m_entries[m_next++ % Kept] = entry;
        return true;
    }

private:
    static constexpr int Kept = 16;
    struct Entry
    {
        QByteArray bytes;
        QString text;
    };
    QVector<Entry> m_entries;
    int m_next = 0;
};

#endif // REPEATEDTEXTS_H
