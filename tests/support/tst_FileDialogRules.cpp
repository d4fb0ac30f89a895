#include "support/FileDialogRules.h"

#include <QDir>
#include <QTest>

using namespace support;

namespace {

const QChar kNul(u'\0');

QString Nul(const QStringList &parts) { return parts.join(kNul); }

QString Native(const QString &path) { return QDir::toNativeSeparators(path); }

} // namespace

class tst_FileDialogRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void platformFilter_data();
    void platformFilter();
    void filterPairs_data();
    void filterPairs();
    void selectedFilter_data();
    void selectedFilter();
    void proposedFileName_data();
    void proposedFileName();
    void chosenFiles_data();
    void chosenFiles();
    void errDescription_data();
    void errDescription();
    void fileSizeText_data();
    void fileSizeText();
};

void tst_FileDialogRules::fileSizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty file") << qint64(0) << QStringLiteral("0 KB");
    QTest::newRow("one byte rounds up") << qint64(1) << QStringLiteral("1 KB");
    QTest::newRow("exactly 1 KB") << qint64(1024) << QStringLiteral("1 KB");
    QTest::newRow("grouped") << qint64(1234567) << QStringLiteral("1,206 KB");
    QTest::newRow("beyond 32 bits") << qint64(5) * 1024 * 1024 * 1024 << QStringLiteral("5,242,880 KB");
    QTest::newRow("no size") << qint64(-1) << QString();
}

void tst_FileDialogRules::fileSizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(support::FileSizeText(bytes, QLocale(QLocale::Japanese, QLocale::Japan)), text);
}

void tst_FileDialogRules::platformFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("platform");
    QTest::newRow("one pair") << QStringLiteral("VB Project Files (*.vbp)|*.vbp")
                              << Nul({QStringLiteral("VB Project Files (*.vbp)"), QStringLiteral("*.vbp"), {}});
    QTest::newRow("two pairs") << QStringLiteral("A|*.a|B|*.b;*.c")
                               << Nul({QStringLiteral("A"), QStringLiteral("*.a"), QStringLiteral("B"),
                                       QStringLiteral("*.b;*.c"), {}});
    QTest::newRow("no bar") << QStringLiteral("*.*") << Nul({QStringLiteral("*.*"), {}});
    QTest::newRow("empty") << QString() << QString(kNul);
    QTest::newRow("trailing bar adds no second NUL")
        << QStringLiteral("A|*.a|") << Nul({QStringLiteral("A"), QStringLiteral("*.a"), {}});
    QTest::newRow("only bars") << QStringLiteral("||") << Nul({{}, {}, {}});
    QTest::newRow("japanese description") << QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)|*.zrd")
                                          << Nul({QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)"), QStringLiteral("*.zrd"), {}});
}

void tst_FileDialogRules::platformFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, platform);
    QCOMPARE(PlatformFilter(filter), platform);
}

void tst_FileDialogRules::filterPairs_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("nameFilters");
    QTest::newRow("one pair") << QStringLiteral("VB Project Files (*.vbp)|*.vbp")
                              << QStringList{QStringLiteral("VB Project Files (*.vbp) (*.vbp)")};
    QTest::newRow("several patterns") << QStringLiteral("Sources|*.bas; *.cls ;*.frm")
                                      << QStringList{QStringLiteral("Sources (*.bas *.cls *.frm)")};
    QTest::newRow("two pairs") << QStringLiteral("A|*.a|All|*.*")
                               << QStringList{QStringLiteral("A (*.a)"), QStringLiteral("All (*.*)")};
    QTest::newRow("description without pattern") << QStringLiteral("*.*") << QStringList{QStringLiteral("*.* (*)")};
    QTest::newRow("odd item count") << QStringLiteral("A|*.a|B")
                                    << QStringList{QStringLiteral("A (*.a)"), QStringLiteral("B (*)")};
    QTest::newRow("empty pattern") << QStringLiteral("A||B|*.b")
                                   << QStringList{QStringLiteral("A (*)"), QStringLiteral("B (*.b)")};
    QTest::newRow("empty description ends the list") << QStringLiteral("A|*.a||*.x|C|*.c")
                                                     << QStringList{QStringLiteral("A (*.a)")};
    QTest::newRow("pattern of only separators") << QStringLiteral("A|; ;") << QStringList{QStringLiteral("A (*)")};
    QTest::newRow("empty") << QString() << QStringList{};
    QTest::newRow("only bars") << QStringLiteral("||") << QStringList{};
}

void tst_FileDialogRules::filterPairs()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, nameFilters);
    QStringList actual;
    for (const FilterPair &pair : FilterPairs(PlatformFilter(filter)))
        actual.append(NameFilter(pair));
    QCOMPARE(actual, nameFilters);
}

void tst_FileDialogRules::selectedFilter_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("selected");
    QTest::newRow("0 takes the first") << 0 << 2 << 0;
    QTest::newRow("1 is the first") << 1 << 2 << 0;
    QTest::newRow("2 is the second") << 2 << 2 << 1;
    QTest::newRow("past the end") << 3 << 2 << 0;
    QTest::newRow("negative") << -1 << 2 << 0;
    QTest::newRow("no pairs") << 1 << 0 << -1;
}

void tst_FileDialogRules::selectedFilter()
{
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(int, selected);
    QCOMPARE(SelectedFilter(index, count), selected);
}

void tst_FileDialogRules::proposedFileName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("maxFileSize");
    QTest::addColumn<QString>("proposed");
    const QString long300 = QStringLiteral("/w/") + QString(297, u'a');
    QTest::newRow("fits") << QStringLiteral("/w/Tools.zrd") << 255 << QStringLiteral("/w/Tools.zrd");
    QTest::newRow("cut to 254") << long300 << 255 << long300.left(254);
    QTest::newRow("exactly 254") << long300.left(254) << 255 << long300.left(254);
    QTest::newRow("size 10 keeps 9") << QStringLiteral("0123456789") << 10 << QStringLiteral("012345678");
    // Code page 932: a kanji takes two bytes and is never cut in half.
    QTest::newRow("double-byte at the cut") << QStringLiteral("ab漢字") << 5 << QStringLiteral("ab漢");
    QTest::newRow("double-byte would split") << QStringLiteral("abc漢字") << 5 << QStringLiteral("abc");
    QTest::newRow("half-width katakana is one byte") << QStringLiteral("ﾃﾞｰﾀ") << 5 << QStringLiteral("ﾃﾞｰﾀ");
    QTest::newRow("NUL ends the name") << QStringLiteral("ab") + kNul + QStringLiteral("cd") << 255 << QStringLiteral("ab");
    QTest::newRow("size 1 has no room") << QStringLiteral("a") << 1 << QString();
    QTest::newRow("empty") << QString() << 255 << QString();
}

void tst_FileDialogRules::proposedFileName()
{
    QFETCH(QString, fileName);
    QFETCH(int, maxFileSize);
    QFETCH(QString, proposed);
    QCOMPARE(ProposedFileName(fileName, maxFileSize), proposed);
}

void tst_FileDialogRules::chosenFiles_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<bool>("multiSelect");
    QTest::addColumn<int>("maxFileSize");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("errNumber");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("fileTitle");

    QTest::newRow("one file") << QStringList{QStringLiteral("/w/App.vbp")} << false << 255 << true << 0
                              << Native(QStringLiteral("/w/App.vbp")) << QStringLiteral("App.vbp");
    QTest::newRow("one file, multiple allowed") << QStringList{QStringLiteral("/w/App.vbp")} << true << 255 << true
                                                << 0 << Native(QStringLiteral("/w/App.vbp")) << QStringLiteral("App.vbp");
    QTest::newRow("three files in one folder")
        << QStringList{QStringLiteral("/D/Work/A.vbp"), QStringLiteral("/D/Work/B.vbp"), QStringLiteral("/D/Work/C.vbp")}
        << true << 255 << true << 0
        << Nul({Native(QStringLiteral("/D/Work")), QStringLiteral("A.vbp"), QStringLiteral("B.vbp"), QStringLiteral("C.vbp")})
        << QString();
    QTest::newRow("order kept") << QStringList{QStringLiteral("/w/B.vbp"), QStringLiteral("/w/A.vbp")} << true << 255
                                << true << 0
                                << Nul({Native(QStringLiteral("/w")), QStringLiteral("B.vbp"), QStringLiteral("A.vbp")})
                                << QString();
    QTest::newRow("files in the root") << QStringList{QStringLiteral("/A.vbp"), QStringLiteral("/B.vbp")} << true << 255
                                       << true << 0
                                       << Nul({Native(QStringLiteral("/")), QStringLiteral("A.vbp"), QStringLiteral("B.vbp")})
                                       << QString();
    QTest::newRow("different folders share their parent")
        << QStringList{QStringLiteral("/w/x/A.vbp"), QStringLiteral("/w/y/B.vbp")} << true << 255 << true << 0
        << Nul({Native(QStringLiteral("/w")), Native(QStringLiteral("x/A.vbp")), Native(QStringLiteral("y/B.vbp"))})
        << QString();
    QTest::newRow("one file in a subfolder of the other's")
        << QStringList{QStringLiteral("/w/A.vbp"), QStringLiteral("/w/sub/B.vbp")} << true << 255 << true << 0
        << Nul({Native(QStringLiteral("/w")), QStringLiteral("A.vbp"), Native(QStringLiteral("sub/B.vbp"))}) << QString();
    QTest::newRow("dots cleaned") << QStringList{QStringLiteral("/w/./x/../App.vbp")} << false << 255 << true << 0
                                  << Native(QStringLiteral("/w/App.vbp")) << QStringLiteral("App.vbp");
    QTest::newRow("drive letters") << QStringList{QStringLiteral("C:/A.vbp"), QStringLiteral("C:/B.vbp")} << true << 255
                                   << true << 0
                                   << Nul({Native(QStringLiteral("C:/")), QStringLiteral("A.vbp"), QStringLiteral("B.vbp")})
                                   << QString();
    QTest::newRow("different drives") << QStringList{QStringLiteral("C:/A.vbp"), QStringLiteral("D:/B.vbp")} << true << 255
                                      << false << int(dlgerr::InvalidFileName) << QString() << QString();

    // The buffer: one path with its NUL; several parts each with a NUL plus one more.
    const QString path254 = QStringLiteral("/w/") + QString(251, u'a');
    QTest::newRow("254 bytes fit 255") << QStringList{path254} << false << 255 << true << 0 << Native(path254)
                                       << QString(251, u'a');
    QTest::newRow("255 bytes do not") << QStringList{path254 + u'b'} << false << 255 << false
                                      << int(dlgerr::BufferTooSmall) << QString() << QString();
    QTest::newRow("kanji count two bytes") << QStringList{QStringLiteral("/ﾃ/あ.vbp")} << false << 10 << true << 0
                                           << Native(QStringLiteral("/ﾃ/あ.vbp")) << QStringLiteral("あ.vbp");
    QTest::newRow("kanji over by one") << QStringList{QStringLiteral("/ﾃ/あ.vbp")} << false << 9 << false
                                       << int(dlgerr::BufferTooSmall) << QString() << QString();
    QTest::newRow("outside code page 932 counts two") << QStringList{QStringLiteral("/한.vbp")} << false << 8 << true
                                                      << 0 << Native(QStringLiteral("/한.vbp")) << QStringLiteral("한.vbp");
    QTest::newRow("outside code page 932, over") << QStringList{QStringLiteral("/한.vbp")} << false << 7 << false
                                                 << int(dlgerr::BufferTooSmall) << QString() << QString();
    QTest::newRow("several, exact fit") << QStringList{QStringLiteral("/w/a.vbp"), QStringLiteral("/w/b.vbp")} << true
                                        << 16 << true << 0
                                        << Nul({Native(QStringLiteral("/w")), QStringLiteral("a.vbp"), QStringLiteral("b.vbp")})
                                        << QString();
    QTest::newRow("several, one byte short") << QStringList{QStringLiteral("/w/a.vbp"), QStringLiteral("/w/b.vbp")}
                                             << true << 15 << false << int(dlgerr::BufferTooSmall) << QString() << QString();

    QTest::newRow("nothing chosen") << QStringList{} << true << 255 << false << int(dlgerr::InvalidFileName) << QString()
                                    << QString();
    QTest::newRow("empty path") << QStringList{QString()} << false << 255 << false << int(dlgerr::InvalidFileName)
                                << QString() << QString();
    QTest::newRow("NUL inside a path") << QStringList{QStringLiteral("/w/a") + kNul + QStringLiteral("b.vbp")} << false
                                       << 255 << false << int(dlgerr::InvalidFileName) << QString() << QString();
    QTest::newRow("several without multiple selection")
        << QStringList{QStringLiteral("/w/a.vbp"), QStringLiteral("/w/b.vbp")} << false << 255 << false
        << int(dlgerr::InvalidFileName) << QString() << QString();
    QTest::newRow("relative names share no folder") << QStringList{QStringLiteral("a.vbp"), QStringLiteral("b.vbp")}
                                                    << true << 255 << false << int(dlgerr::InvalidFileName) << QString()
                                                    << QString();
}

void tst_FileDialogRules::chosenFiles()
{
    QFETCH(QStringList, paths);
    QFETCH(bool, multiSelect);
    QFETCH(int, maxFileSize);
    QFETCH(bool, ok);
    QFETCH(int, errNumber);
    QFETCH(QString, fileName);
    QFETCH(QString, fileTitle);
    const DialogResult result = ChosenFiles(paths, multiSelect, maxFileSize);
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.errNumber, errNumber);
    QCOMPARE(result.fileName, fileName);
    QCOMPARE(result.fileTitle, fileTitle);
}

void tst_FileDialogRules::errDescription_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("message");
    const QString unknown = QStringLiteral("未知のｴﾗｰです。");
    const QString pdReturn = QStringLiteral(
        "PDReturnDefault フラグが設定されていますが、hDevMode フィールドまたは hDevNames フィールドが 0 ではありません。");
    const QString loadRes = QStringLiteral("関数が指定したリソースをロードできません。");
    QTest::newRow("dialog failure") << -32768 << QStringLiteral("関数がダイアログ ボックスをロードできません。");
    QTest::newRow("buffer too small") << 20476 << QStringLiteral("メンバ lpstrFile が指すバッファが小さすぎます。");
    QTest::newRow("invalid file name") << 20477 << QStringLiteral("ファイル名が無効です。");
    QTest::newRow("no fonts") << 24574 << QStringLiteral("フォントが存在しません。");
    QTest::newRow("28668") << 28668 << pdReturn;
    QTest::newRow("28671 shares 28668's text") << 28671 << pdReturn;
    QTest::newRow("28670") << 28670 << QStringLiteral("必要なリソースを読み込めません。");
    QTest::newRow("cancel") << 32755 << QStringLiteral("[キャンセル] ボタンが選択されました。");
    QTest::newRow("32760") << 32760 << loadRes;
    QTest::newRow("32761 shares 32760's text") << 32761 << loadRes;
    QTest::newRow("initialisation") << 32765 << QStringLiteral("関数を初期化できません。");
    QTest::newRow("zero is unknown") << 0 << unknown;
    QTest::newRow("gap in the table") << 32762 << unknown;
    QTest::newRow("platform's own buffer code") << 0x3003 << unknown;
    QTest::newRow("negative") << -1 << unknown;
}

void tst_FileDialogRules::errDescription()
{
    QFETCH(int, number);
    QFETCH(QString, message);
    QCOMPARE(ErrDescription(number), message);
}

QTEST_APPLESS_MAIN(tst_FileDialogRules)
#include "tst_FileDialogRules.moc"
