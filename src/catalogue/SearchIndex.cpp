#include "catalogue/SearchIndex.h"

#include "catalogue/ProjectFilter.h"

#include <algorithm>
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

std::vector<int> SearchIndex::Matching(const QString &folded) const
{
    std::vector<int> rows;
    const QByteArray needle = folded.toUtf8();
    // A line break would join a name to its path; no typed text holds one.
    if (needle.isEmpty() || needle.contains('\n'))
        return rows;
    const std::string_view text(text_.constData(), size_t(text_.size()));
    const std::string_view wanted(needle.constData(), size_t(needle.size()));
    size_t from = 0;
    while ((from = text.find(wanted, from)) != std::string_view::npos) {
        const auto next = std::upper_bound(starts_.begin(), starts_.end(), qsizetype(from));
        rows.push_back(int(next - starts_.begin()) - 1);
        from = size_t(*next); // the next row: one hit a row is enough
    }
    return rows;
}

} // namespace catalogue
