#pragma once

#include "platform/StoredText.h"

#include <QByteArray>
#include <QString>

#include <string_view>
#include <utility>
#include <vector>

namespace catalogue {

// The listed rows' names and paths folded as the filter compares them, in one block of bytes. It
// is made on a worker while the filter is in use: decoding a million paths takes a while, and a
// key then only searches bytes.
class SearchIndex {
public:
    using Row = std::pair<platform::StoredText, platform::StoredText>; // name, .vbp path

    static SearchIndex Make(const std::vector<Row> &rows);

    // The rows (0-based, ascending) whose name or path holds the folded text. A large index is
    // searched in parts of about bytesAPart on the other cores too.
    static constexpr qsizetype kBytesAPart = 4 * 1024 * 1024;
    std::vector<int> Matching(const QString &folded, qsizetype bytesAPart = kBytesAPart) const;
    // The same, looking only at these rows (ascending): those of a search the text extends.
    std::vector<int> MatchingAmong(const QString &folded, const std::vector<int> &among) const;
    int RowCount() const { return int(starts_.size()) - 1; }

private:
    std::vector<int> matchingIn(int firstRow, int endRow, std::string_view wanted) const;
    QByteArray text_;               // per row "name\npath\n", UTF-8
    std::vector<qsizetype> starts_; // where each row starts, then the end
};

} // namespace catalogue
