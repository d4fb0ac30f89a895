#include "catalogue/SearchIndex.h"

#include "catalogue/ProjectFilter.h"

#include <QThread>

#include <algorithm>
#include <future>
#include <string_view>

namespace catalogue {

namespace {

// As FoldForSearch, without its cost for the ASCII most names and paths are.
void appendFolded(QByteArray &out, const QString &text)
{
    const bool ascii = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        out += FoldForSearch(text).toUtf8();
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char *to = out.data() + at;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *to++ = char(u >= u'A' && u <= u'Z' ? u + 32 : u);
    }
}

} // namespace

SearchIndex SearchIndex::Make(const std::vector<Row> &rows)
{
    SearchIndex index;
    index.starts_.reserve(rows.size() + 1);
    for (const auto &[name, file] : rows) {
        index.starts_.push_back(index.text_.size());
        appendFolded(index.text_, name.Text());
        index.text_ += '\n';
        appendFolded(index.text_, file.Text());
        index.text_ += '\n';
    }
    index.starts_.push_back(index.text_.size());
    index.text_.squeeze();
    return index;
}

std::vector<int> SearchIndex::matchingIn(int firstRow, int endRow, std::string_view wanted) const
{
    std::vector<int> rows;
    const std::string_view text(text_.constData(), size_t(starts_[size_t(endRow)]));
    size_t from = size_t(starts_[size_t(firstRow)]);
    while ((from = text.find(wanted, from)) != std::string_view::npos) {
        const auto next = std::upper_bound(starts_.begin(), starts_.end(), qsizetype(from));
        rows.push_back(int(next - starts_.begin()) - 1);
        from = size_t(*next); // the next row: one hit a row is enough
    }
    return rows;
}

std::vector<int> SearchIndex::Matching(const QString &folded, qsizetype bytesAPart) const
{
    const QByteArray needle = folded.toUtf8();
    // A line break would join a name to its path; no typed text holds one.
    if (needle.isEmpty() || needle.contains('\n'))
        return {};
    const std::string_view wanted(needle.constData(), size_t(needle.size()));
    // 25 MB at 100,000 projects, 250 MB at a million; a row never spans two parts.
    const int parts = int(qBound(qsizetype(1), text_.size() / qMax(qsizetype(1), bytesAPart),
                                 qsizetype(qMin(RowCount(), qMax(1, QThread::idealThreadCount())))));
    if (parts == 1)
        return matchingIn(0, RowCount(), wanted);
    std::vector<std::future<std::vector<int>>> others;
    const auto bound = [this, parts](int part) { return int(qint64(RowCount()) * part / parts); };
    for (int part = 1; part < parts; ++part)
        others.push_back(std::async(std::launch::async, [this, wanted, from = bound(part), to = bound(part + 1)] {
            return matchingIn(from, to, wanted);
        }));
    std::vector<int> rows = matchingIn(0, bound(1), wanted);
    for (std::future<std::vector<int>> &other : others) {
        const std::vector<int> more = other.get();
        rows.insert(rows.end(), more.begin(), more.end());
    }
    return rows;
}

std::vector<int> SearchIndex::MatchingAmong(const QString &folded, const std::vector<int> &among) const
{
    std::vector<int> rows;
    const QByteArray needle = folded.toUtf8();
    if (needle.isEmpty() || needle.contains('\n'))
        return rows;
    const std::string_view wanted(needle.constData(), size_t(needle.size()));
    for (const int row : among) {
        const qsizetype begin = starts_[size_t(row)];
        const std::string_view text(text_.constData() + begin, size_t(starts_[size_t(row) + 1] - begin));
        if (text.find(wanted) != std::string_view::npos)
            rows.push_back(row);
    }
    return rows;
}

} // namespace catalogue
