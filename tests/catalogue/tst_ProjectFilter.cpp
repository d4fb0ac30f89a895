// Finding projects by typing: which rows the filter keeps, and which catalogue entry each kept
// row stands for (the entry the commands act on).
#include "catalogue/ProjectFilter.h"
#include "catalogue/SearchIndex.h"
#include "catalogue/cVbAnalyze.h"

#include <QTest>

using catalogue::ProjectListModel;
using catalogue::State;

class tst_ProjectFilter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { catalogue::ResetState(); }
    void rowsKept_data();
    void rowsKept();
    void rowsFollowTheCatalogue_data();
    void rowsFollowTheCatalogue();
    void firstPieceShown_data();
    void firstPieceShown();
    void searchesAgree();
    void indexFoldsAsTheFilter();
};

void tst_ProjectFilter::init()
{
    catalogue::ResetState();
    // Three categories, the middle one empty; no file is read for any of this.
    std::vector<std::unique_ptr<catalogue::cVbAnalyze>> categories(1);
    const QList<QList<catalogue::KeyEntry>> entries{
        {{QStringLiteral("ｶﾀｶﾅ ﾂｰﾙ"), QStringLiteral("/src/tools/Kana.vbp")},
         {QStringLiteral("Calc"), QStringLiteral("/src/ＡＢＣ/Calc.vbp")},
         {QStringLiteral("電卓"), QStringLiteral("/src/calc/Dentaku.vbp")},
         {QStringLiteral("unset"), QString()}},
        {},
        {{QStringLiteral("Puzzle"), QStringLiteral("/games/puzzle/PUZZLE.VBP")},
         {QStringLiteral("カタカナ"), QStringLiteral("/games/kana/K.vbp")}}};
    const QStringList names{QStringLiteral("ツール"), QStringLiteral("空"), QStringLiteral("ゲーム")};
    for (int i = 0; i < 3; ++i) {
        categories.push_back(std::make_unique<catalogue::cVbAnalyze>());
        categories.back()->SetEntries(names[i], entries[i]);
    }
    State().ReplaceCategories(std::move(categories));
    State().CurrentCategory = 1;
}

void tst_ProjectFilter::rowsKept_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows"); // "category:project" of each row, in order
    const QStringList tools{"1:1", "1:2", "1:3", "1:4"};
    QTest::newRow("no text: every row") << false << "" << tools;
    QTest::newRow("blanks only: every row") << false << QStringLiteral("　 ") << tools;
    QTest::newRow("half-width katakana typed full-width") << false << QStringLiteral("カタカナ") << QStringList{"1:1"};
    QTest::newRow("full-width katakana typed half-width, every category")
        << true << QStringLiteral("ｶﾀｶﾅ") << QStringList{"1:1", "3:2"};
    QTest::newRow("full-width letters typed in ASCII, by folder") << false << "abc" << QStringList{"1:2"};
    QTest::newRow("letter case of the name") << false << "CALC" << QStringList{"1:2", "1:3"};
    QTest::newRow("file name") << false << "dentaku.v" << QStringList{"1:3"};
    QTest::newRow("folder") << false << "/src/tools" << QStringList{"1:1"};
    QTest::newRow("never across name and path") << false << QStringLiteral("ツール/src") << QStringList{};
    QTest::newRow("a path typed whole") << false << "/src/abc/calc.vbp" << QStringList{"1:2"};
    QTest::newRow("upper-case file name, every category") << true << "puzzle.vbp" << QStringList{"3:1"};
    QTest::newRow("in order over the empty category") << true << "/" << QStringList{"1:1", "1:2", "1:3", "3:1", "3:2"};
    QTest::newRow("nothing found") << true << "zzz" << QStringList{};
}

void tst_ProjectFilter::rowsKept()
{
    QFETCH(bool, all);
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    // Narrowed on the spot, and on a worker against the search index as a long list is.
    for (const int atOnce : {catalogue::ProjectFilterModel::kRowsNarrowedAtOnce, 0}) {
        ProjectListModel projects(catalogue::State());
        catalogue::ProjectFilterModel filter(&projects);
        filter.SetRowsNarrowedAtOnce(atOnce);
        if (all)
            projects.ShowAllCategories();
        else
            projects.ShowCategory(State().Current());
        // Typed a key at a time, one key too many, and that key erased: later keys search the rows
        // of earlier ones, an erased key finds its rows kept.
        for (qsizetype typed = 1; typed <= text.size(); ++typed)
            filter.SetText(text.left(typed));
        filter.SetText(text + u'x');
        QTRY_VERIFY(!filter.Narrowing());
        filter.SetText(text);
        QTRY_VERIFY(!filter.Narrowing());
        QStringList kept;
        for (qint32 row = 1; row <= filter.rowCount(); ++row) {
            const ProjectListModel::Entry entry = filter.EntryAt(row);
            kept.append(QStringLiteral("%1:%2").arg(entry.Category).arg(entry.Project));
            // The row shows its entry, and the entry maps back to the row.
            QCOMPARE(filter.index(row - 1, ProjectListModel::NameColumn).data().toString(),
                     State().CategoryAt(entry.Category)->ProjectName(entry.Project));
            QCOMPARE(filter.RowOf(entry), row);
            if (all)
                QCOMPARE(filter.index(row - 1, ProjectListModel::CategoryColumn).data().toString(),
                         State().CategoryAt(entry.Category)->Category());
        }
        QCOMPARE(kept, rows);
        QCOMPARE(filter.columnCount(), all ? 6 : 5);
        QCOMPARE(filter.EntryAt(0), ProjectListModel::Entry());
        QCOMPARE(filter.EntryAt(filter.rowCount() + 1), ProjectListModel::Entry());
    }
}

void tst_ProjectFilter::rowsFollowTheCatalogue_data()
{
    QTest::addColumn<int>("atOnce");
    QTest::addColumn<bool>("prepared"); // the index made when the filter box got the focus
    // Rows copied for it a turn of the event loop, a copied row removed before the rest are (0: as shipped).
    QTest::addColumn<int>("listedATurn");
    QTest::addColumn<bool>("beforeTicked"); // in use before every category was listed
    // The key typed while the worker makes the listing's buffer: searched once the rows are listed.
    QTest::addColumn<bool>("buffered");
    QTest::newRow("narrowed on the spot") << catalogue::ProjectFilterModel::kRowsNarrowedAtOnce << false << 0 << false << false;
    QTest::newRow("narrowed on a worker") << 0 << false << 0 << false << false;
    QTest::newRow("on a worker, the index made ahead") << 0 << true << 0 << false << false;
    QTest::newRow("the index's rows changed while copied") << 0 << true << 5 << false << false;
    QTest::newRow("the index made ahead of the rows ticked") << 0 << true << 0 << true << false;
    QTest::newRow("a key while the rows' buffer is made") << 0 << true << 5 << false << true;
}

void tst_ProjectFilter::rowsFollowTheCatalogue()
{
    QFETCH(int, atOnce);
    QFETCH(bool, prepared);
    QFETCH(int, listedATurn);
    QFETCH(bool, beforeTicked);
    QFETCH(bool, buffered);
    // Every category listed and filtered while projects come and go in the middle of the list.
    ProjectListModel projects(catalogue::State());
    catalogue::ProjectFilterModel filter(&projects);
    filter.SetRowsNarrowedAtOnce(atOnce);
    if (buffered)
        filter.SetBufferMadeAbove(0);
    if (listedATurn)
        filter.SetRowsListedATurn(listedATurn);
    if (beforeTicked) {
        filter.SetListedAfterReset(0);
        filter.SetInUse(true);
        QCoreApplication::processEvents(); // the shown category's index made
    }
    projects.ShowAllCategories();
    const auto removeCalc = [] { State().CategoryAt(1)->RemoveEntry(2); };
    if (prepared)
        filter.SetInUse(true);
    if (beforeTicked)
        QCoreApplication::processEvents(); // every category's rows listed for theirs
    if (listedATurn)
        removeCalc(); // the first part copied: a row of it goes
    filter.SetText(QStringLiteral("a"));
    QTRY_VERIFY(!filter.Narrowing());
    State().CategoryAt(2)->AppendLoadedEntry(QStringLiteral("Abacus"), QStringLiteral("/x/Abacus.vbp"));
    if (!listedATurn)
        removeCalc();
    State().CategoryAt(3)->SetProjectName(1, QStringLiteral("Zzz")); // kept until the text changes
    QStringList kept;
    for (qint32 row = 1; row <= filter.rowCount(); ++row) {
        const ProjectListModel::Entry entry = filter.EntryAt(row);
        kept.append(State().CategoryAt(entry.Category)->ProjectName(entry.Project));
    }
    QCOMPARE(kept, (QStringList{QStringLiteral("ｶﾀｶﾅ ﾂｰﾙ"), QStringLiteral("電卓"), QStringLiteral("Abacus"),
                                QStringLiteral("Zzz"), QStringLiteral("カタカナ")}));
    filter.SetText(QStringLiteral("ab"));
    QTRY_VERIFY(!filter.Narrowing());
    QCOMPARE(filter.rowCount(), 1);
    QCOMPARE(filter.EntryAt(1), (ProjectListModel::Entry{2, 1}));
}

void tst_ProjectFilter::firstPieceShown_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("keptRow"); // a row a persistent index keeps (selected), -1 for none
    QTest::addColumn<QList<int>>("shownWhileMade"); // row counts laid out before the index was whole
    QTest::addColumn<int>("rows");
    // The first piece holds rows 0 and 1; "kana" finds rows 0 and 5, "/" all but row 3.
    QTest::newRow("nothing kept: the first piece's rows") << "kana" << -1 << QList<int>{1} << 2;
    QTest::newRow("a kept row in the first piece") << "kana" << 0 << QList<int>{1} << 2;
    QTest::newRow("a kept row past it: only the whole result") << "kana" << 5 << QList<int>{} << 2;
    QTest::newRow("the piece's rows all kept: only the whole result") << "/" << -1 << QList<int>{} << 5;
}

// A search of an index not yet whole shows what its first piece holds, unless that would drop a
// row the whole result may keep, or change nothing within the piece.
void tst_ProjectFilter::firstPieceShown()
{
    QFETCH(QString, text);
    QFETCH(int, keptRow);
    QFETCH(QList<int>, shownWhileMade);
    QFETCH(int, rows);
    ProjectListModel projects(catalogue::State());
    catalogue::ProjectFilterModel filter(&projects);
    filter.SetRowsNarrowedAtOnce(0);
    filter.SetRowsAPiece(2);
    projects.ShowAllCategories();
    const QPersistentModelIndex kept = keptRow < 0 ? QModelIndex() : filter.index(keptRow, 0);
    QList<int> shown;
    connect(&filter, &QAbstractItemModel::layoutChanged, &filter, [&] {
        if (filter.Narrowing())
            shown.append(filter.rowCount());
    });
    filter.SetText(text);
    QTRY_VERIFY(!filter.Narrowing());
    QCOMPARE(shown, shownWhileMade);
    QCOMPARE(filter.rowCount(), rows);
    if (keptRow >= 0)
        QCOMPARE(filter.mapToSource(kept).row(), keptRow); // still kept, by its entry
}

// One pass over the whole index, the same in parts on several threads, and among the rows of a
// shorter text, against each row read on its own.
void tst_ProjectFilter::searchesAgree()
{
    std::vector<catalogue::SearchIndex::Row> rows;
    for (qint32 c = 1; c <= State().CategoryCount; ++c)
        for (qint32 p = 1; p <= State().CategoryAt(c)->Count(); ++p) {
            const catalogue::ProjectRecord *record = State().CategoryAt(c)->Record(p);
            rows.emplace_back(record->StoredName(), record->StoredFile());
        }
    const catalogue::SearchIndex index = catalogue::SearchIndex::Make(rows);
    const catalogue::SearchIndex inParts = catalogue::SearchIndex::Make(rows, 1); // a part for each core
    catalogue::SearchIndex inPieces; // a row at a time, as a search waiting for it finds it made
    for (int end = 1; end <= int(rows.size()); ++end)
        inPieces.Extend(rows, end, 1);
    for (const QString &text : {QStringLiteral("a"), QStringLiteral("ca"), QStringLiteral("calc"), QStringLiteral("/"),
                                QStringLiteral("vbp"), QStringLiteral("カタ"), QStringLiteral("zz")}) {
        const QString folded = catalogue::FoldForSearch(text);
        std::vector<int> expected;
        for (int row = 0; row < int(rows.size()); ++row)
            if (catalogue::FoldForSearch(rows[size_t(row)].first.Text()).contains(folded)
                || catalogue::FoldForSearch(rows[size_t(row)].second.Text()).contains(folded))
                expected.push_back(row);
        QCOMPARE(index.Matching(folded), expected);
        QCOMPARE(inParts.Matching(folded), expected);
        QCOMPARE(inPieces.Matching(folded), expected);
        QCOMPARE(index.MatchingAmong(folded, index.Matching(folded.left(1))), expected);
        QCOMPARE(inParts.MatchingAmong(folded, inParts.Matching(folded.left(1))), expected);
    }
}

// Every letter of the plane, alone and between others, folds in the index as FoldForSearch folds it.
void tst_ProjectFilter::indexFoldsAsTheFilter()
{
    for (char32_t u = 0x80; u <= 0xFFFF; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        const QString letter{QChar(char16_t(u))};
        for (const QString &text : {letter, QStringLiteral("Ab") + letter + QStringLiteral("カ")}) {
            if (catalogue::SearchIndex::Folded(text) != catalogue::FoldForSearch(text).toUtf8())
                QFAIL(qPrintable(QStringLiteral("U+%1 in \"%2\"").arg(uint(u), 4, 16, QChar(u'0')).arg(text)));
        }
    }
    // Marks that join the letter before them.
    for (const QString &text : {QStringLiteral("カ\u3099"), QStringLiteral("ｶﾞ"), QStringLiteral("Ａｂｃ")})
        QCOMPARE(catalogue::SearchIndex::Folded(text), catalogue::FoldForSearch(text).toUtf8());
    // A catalogue's own bytes, folded without being decoded first: every byte and pair of the code
    // page between ASCII and a kana, and a lead byte with nothing after it.
    const auto same = [](const QByteArray &bytes) {
        const platform::StoredText stored(bytes, 0, bytes.size(), platform::TextEncoding::Cp932);
        return catalogue::SearchIndex::Folded(stored)
               == catalogue::FoldForSearch(platform::DecodeCp932(bytes)).toUtf8();
    };
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        const QByteArray alone(1, char(lead));
        QVERIFY2(same("Ab" + alone) && same("Ab" + alone + "\x83\x4A"), qPrintable(QString::number(lead, 16)));
        for (int trail = 0x40; platform::IsCp932LeadByte(uchar(lead)) && trail <= 0xFC; ++trail)
            QVERIFY2(same("Ab" + alone + char(trail) + "\x83\x4A"),
                     qPrintable(QString::number(lead << 8 | trail, 16)));
    }
}

QTEST_GUILESS_MAIN(tst_ProjectFilter)
#include "tst_ProjectFilter.moc"
