#pragma once

#include "platform/StoredText.h"

#include <QByteArray>
#include <QString>

#include <string_view>
#include <utility>
#include <vector>

namespace catalogue {

// The listed rows' names and paths folded as the filter compares them, in blocks of bytes. It is
// made on a worker while the filter is in use: decoding a million paths takes a while, and a key
// then only searches bytes. Rows are added a piece at a time, each piece cut into a part for each
// core, made and searched side by side (a row never spans two parts).
class SearchIndex {
public:
    using Row = std::pair<platform::StoredText, platform::StoredText>; // name, .vbp path

    // Parts of at least rowsAPart rows (fewer parts when there are fewer cores).
    static constexpr int kRowsAPart = 16 * 1024;
    static SearchIndex Make(const std::vector<Row> &rows, int rowsAPart = kRowsAPart);
    // Adds rows [RowCount(), end) of the rows the index is made of.
    void Extend(const std::vector<Row> &rows, int end, int rowsAPart = kRowsAPart);

    // The rows (0-based, ascending) whose name or path holds the folded text; only those of the
    // parts made of rows before a row when one is given.
    std::vector<int> Matching(const QString &folded, int beforeRow = -1) const;
    // The same, looking only at these rows (ascending): those of a search the text extends.
    std::vector<int> MatchingAmong(const QString &folded, const std::vector<int> &among) const;
    int RowCount() const { return rowCount_; }

    // A text as the index keeps it: FoldForSearch's result in UTF-8, made without it where the
    // text's letters are ones folding leaves alone (and from code page 932 without decoding it).
    static QByteArray Folded(const QString &text);
    static QByteArray Folded(const platform::StoredText &text);

private:
    struct Part {
        int firstRow = 0;
        QByteArray text;              // per row "name\npath\n", UTF-8
        std::vector<quint32> starts;  // where each row starts, then the end
        static Part Make(const std::vector<Row> &rows, int first, int end);
        void AddMatching(std::string_view wanted, std::vector<int> &rows) const;
        bool RowHolds(int row, std::string_view wanted) const;
    };
    std::vector<Part> parts_;
    int rowCount_ = 0;
};

} // namespace catalogue
