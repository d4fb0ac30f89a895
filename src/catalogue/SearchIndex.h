#pragma once

#include "platform/StoredText.h"

#include <QByteArray>
#include <QString>

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

    // The rows (0-based, ascending) whose name or path holds the folded text.
    std::vector<int> Matching(const QString &folded) const;
    int RowCount() const { return int(starts_.size()) - 1; }

private:
    QByteArray text_;               // per row "name\npath\n", UTF-8
    std::vector<qsizetype> starts_; // where each row starts, then the end
};

} // namespace catalogue
