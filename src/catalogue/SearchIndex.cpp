#include "catalogue/SearchIndex.h"

#include "catalogue/ProjectFilter.h"

#include <QThread>

#include <algorithm>
#include <future>
#include <string_view>
#include <system_error>

namespace catalogue {

namespace {

// Letters FoldForSearch leaves as they are and that join no neighbour: kana, the long vowel mark and
// the common ideographs (half-width kana, full-width Latin and combining marks are not among them).
bool KeptByFolding(char16_t u)
{
    return (u >= u'\u3041' && u <= u'\u3096') || (u >= u'\u30A1' && u <= u'\u30FA') || u == u'\u30FC'
           || (u >= u'\u4E00' && u <= u'\u9FFF');
}

// An ASCII letter with its case folded, or a kept one, as UTF-8 (every kept letter is past U+07FF).
char *putFolded(char *to, char16_t u)
{
    if (u < 0x80) {
        *to++ = char(u >= u'A' && u <= u'Z' ? u + 32 : u);
        return to;
    }
    *to++ = char(0xE0 | (u >> 12));
    *to++ = char(0x80 | ((u >> 6) & 0x3F));
    *to++ = char(0x80 | (u & 0x3F));
    return to;
}

// As FoldForSearch, without its cost for the ASCII, kana and ideographs most names and paths are.
void appendFolded(QByteArray &out, const QString &text)
{
    qsizetype needed = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            needed += 1;
        } else if (KeptByFolding(u)) {
            needed += 3;
        } else {
            out += FoldForSearch(text).toUtf8();
            return;
        }
    }
    const qsizetype at = out.size();
    out.resize(at + needed);
    char *to = out.data() + at;
    for (const QChar c : text)
        to = putFolded(to, c.unicode());
}

// The same for text kept as code page 932 bytes: each character looked up, no text made unless a
// letter wants folding. Most paths and names are ASCII, kana and ideographs: half the index's cost
// was making them into text first.
void appendFolded(QByteArray &out, const platform::StoredText &text)
{
    const QByteArrayView bytes = text.Bytes();
    if (text.Encoding() != platform::TextEncoding::Cp932) {
        appendFolded(out, text.Text());
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + bytes.size() + bytes.size() / 2); // two bytes become three at most
    char *to = out.data() + at;
    const char16_t *characters = platform::Cp932Characters();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        if (b < 0x80) {
            to = putFolded(to, b);
            continue;
        }
        const char16_t u = platform::IsCp932LeadByte(b) && i + 1 < bytes.size()
                                   && platform::IsCp932TrailByte(uchar(bytes[i + 1]))
                               ? characters[b << 8 | uchar(bytes[i + 1])]
                               : 0;
        if (!KeptByFolding(u)) {
            out.truncate(at);
            appendFolded(out, text.Text());
            return;
        }
        ++i;
        to = putFolded(to, u);
    }
    out.truncate(to - out.constData());
}

} // namespace

SearchIndex::Part SearchIndex::Part::Make(const std::vector<Row> &rows, int first, int end)
{
    Part part;
    part.firstRow = first;
    part.starts.reserve(size_t(end - first) + 1);
    // Room for what the rows fold to (a two-byte letter becomes three), so that a part of a large
    // catalogue is not copied over and over while it grows.
    qsizetype bytes = 0;
    for (int row = first; row < end; ++row)
        bytes += rows[size_t(row)].first.Bytes().size() + rows[size_t(row)].second.Bytes().size() + 2;
    part.text.reserve(bytes + bytes / 2 + 64);
    for (int row = first; row < end; ++row) {
        const auto &[name, file] = rows[size_t(row)];
        part.starts.push_back(quint32(part.text.size()));
        appendFolded(part.text, name);
        part.text += '\n';
        appendFolded(part.text, file);
        part.text += '\n';
    }
    part.starts.push_back(quint32(part.text.size()));
    // Given back only when much was left over: squeezing copies the whole part.
    if (part.text.capacity() - part.text.size() > part.text.size() / 8)
        part.text.squeeze();
    return part;
}

void SearchIndex::Part::AddMatching(std::string_view wanted, std::vector<int> &rows) const
{
    const std::string_view all(text.constData(), size_t(text.size()));
    size_t from = 0;
    while ((from = all.find(wanted, from)) != std::string_view::npos) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), quint32(from));
        rows.push_back(firstRow + int(next - starts.begin()) - 1);
        from = size_t(*next); // the next row: one hit a row is enough
    }
}

bool SearchIndex::Part::RowHolds(int row, std::string_view wanted) const
{
    const size_t at = size_t(row - firstRow);
    return std::string_view(text.constData() + starts[at], size_t(starts[at + 1] - starts[at])).find(wanted)
           != std::string_view::npos;
}

namespace {

// Runs work(i) for i in [0, count): the first on this thread, the others on threads of their own.
template <typename Work>
void SideBySide(size_t count, Work work)
{
    std::vector<std::future<void>> others;
    std::vector<size_t> here{0};
    for (size_t i = 1; i < count; ++i) {
        try {
            others.push_back(std::async(std::launch::async, [&work, i] { work(i); }));
        } catch (const std::system_error &) {
            here.push_back(i); // no thread to be had: done here, only later
        }
    }
    for (const size_t i : here)
        if (i < count)
            work(i);
    for (std::future<void> &other : others)
        other.get();
}

// Text a search can look for: a line break would join a name to its path; no typed text holds one.
QByteArray searchable(const QString &folded)
{
    QByteArray needle = folded.toUtf8();
    return needle.contains('\n') ? QByteArray() : needle;
}

} // namespace

SearchIndex SearchIndex::Make(const std::vector<Row> &rows, int rowsAPart)
{
    SearchIndex index;
    index.Extend(rows, int(rows.size()), rowsAPart);
    return index;
}

void SearchIndex::Extend(const std::vector<Row> &rows, int end, int rowsAPart)
{
    const int first = rowCount_;
    if (end <= first)
        return;
    // A part is a few MB at the least (about 250 bytes a row): a thread for less is not worth it.
    const int parts = int(qBound(qsizetype(1), qsizetype(end - first) / qMax(1, rowsAPart),
                                 qsizetype(qMax(1, QThread::idealThreadCount()))));
    const size_t at = parts_.size();
    parts_.resize(at + size_t(parts));
    const auto bound = [&](size_t part) { return first + int(qint64(end - first) * qint64(part) / parts); };
    SideBySide(size_t(parts),
               [&](size_t part) { parts_[at + part] = Part::Make(rows, bound(part), bound(part + 1)); });
    rowCount_ = end;
}

QByteArray SearchIndex::Folded(const QString &text)
{
    QByteArray folded;
    appendFolded(folded, text);
    return folded;
}

QByteArray SearchIndex::Folded(const platform::StoredText &text)
{
    QByteArray folded;
    appendFolded(folded, text);
    return folded;
}

std::vector<int> SearchIndex::Matching(const QString &folded, int beforeRow) const
{
    const QByteArray needle = searchable(folded);
    if (needle.isEmpty())
        return {};
    const std::string_view wanted(needle.constData(), size_t(needle.size()));
    const size_t count = beforeRow < 0 ? parts_.size()
                                       : size_t(std::partition_point(parts_.begin(), parts_.end(),
                                                                     [&](const Part &part) {
                                                                         return part.firstRow < beforeRow;
                                                                     })
                                                - parts_.begin());
    // The parts shared out among the cores, each core's run of them searched in order.
    const size_t threads = std::min(count, size_t(qMax(1, QThread::idealThreadCount())));
    if (threads == 0)
        return {};
    std::vector<std::vector<int>> found(threads);
    SideBySide(threads, [&](size_t thread) {
        for (size_t part = count * thread / threads; part < count * (thread + 1) / threads; ++part)
            parts_[part].AddMatching(wanted, found[thread]);
    });
    std::vector<int> rows = std::move(found.front());
    for (size_t thread = 1; thread < found.size(); ++thread)
        rows.insert(rows.end(), found[thread].begin(), found[thread].end());
    return rows;
}

std::vector<int> SearchIndex::MatchingAmong(const QString &folded, const std::vector<int> &among) const
{
    std::vector<int> rows;
    const QByteArray needle = searchable(folded);
    if (needle.isEmpty())
        return rows;
    const std::string_view wanted(needle.constData(), size_t(needle.size()));
    size_t part = 0;
    for (const int row : among) {
        while (part + 1 < parts_.size() && row >= parts_[part + 1].firstRow)
            ++part;
        if (parts_[part].RowHolds(row, wanted))
            rows.push_back(row);
    }
    return rows;
}

} // namespace catalogue
