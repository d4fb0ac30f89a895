#include "settings/Settings.h"
#include "common/FileBytes.h"
#include "platform/IniStore.h"
#include "platform/ProgramFolder.h"
#include "common/ResetGlobals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using platform::IniStatus;
using settings::Placement;
using settings::Values;

namespace settings {
// What QCOMPARE shows of a placement that differs.
char *toString(const Placement &p)
{
    return QTest::toString(QStringLiteral("top %1 left %2 height %3 width %4 maximized %5 centred %6/%7")
                               .arg(p.Top).arg(p.Left).arg(p.Height).arg(p.Width)
                               .arg(p.Maximized).arg(p.TopCentred).arg(p.LeftCentred));
}
} // namespace settings

namespace {

void setMode(const QString &path, mode_t mode) { QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0); }

// The values in the order of the file: WClick, ExeAuto, DragDrop, Sort, StartFile, Sort, Data, Project.
QStringList valuesText()
{
    const settings::SettingsValues &v = Values();
    auto b = [](bool x) { return x ? QStringLiteral("T") : QStringLiteral("F"); };
    return {QString::number(v.DoubleClickAction), b(v.AutoMakeExe), b(v.DragDropEnabled), b(v.SortOnColumnClick),
            v.StartupCatalogue, b(v.SortOnOpen), v.LastCatalogueFolder, v.LastProjectFolder};
}

void setValues(const QStringList &text)
{
    settings::SettingsValues &v = Values();
    v.DoubleClickAction = text[0].toInt();
    v.AutoMakeExe = text[1] == "T";
    v.DragDropEnabled = text[2] == "T";
    v.SortOnColumnClick = text[3] == "T";
    v.StartupCatalogue = text[4];
    v.SortOnOpen = text[5] == "T";
    v.LastCatalogueFolder = text[6];
    v.LastProjectFolder = text[7];
}

const QStringList kDefaults {"1", "T", "T", "T", "", "T", "", ""};
// "データ" in code page 932.
const QByteArray kData = QByteArray::fromHex("8366815b835e");

} // namespace

Q_DECLARE_METATYPE(Placement)

class tst_Settings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();

    void freshFile_data();
    void freshFile();
    void existingKeysKeepTheirPlace();
    void ideCommandAddsOneKey();
    void oddValuesWrittenBack();
    void readValues_data();
    void readValues();
    void placement_data();
    void placement();
    void listWidths_data();
    void listWidths();
    void listWidthsWrittenInPlace();
    void ensureFile_data();
    void ensureFile();
    void writeFailureKeepsFile();
    void unreadAtStartNotWritten_data();
    void unreadAtStartNotWritten();
    void defaultPath();

private:
    QString file() const { return dir_->filePath("ZARUN.ini"); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void tst_Settings::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    ResetGlobals();
}

void tst_Settings::cleanup()
{
    ResetGlobals();
    platform::SetProgramFolderForTesting(QString());
    setMode(dir_->path(), 0755);
    dir_.reset();
}

void tst_Settings::freshFile_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<Placement>("placement");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("defaults") << kDefaults << Placement {4050, 5085, 6000, 8000, false}
                              << QByteArray("[Window]\r\nMAXIMIZE=False\r\nTOP=4050\r\nLEFT=5085\r\nHEIGHT=6000\r\n"
                                            "WIDTH=8000\r\n[Project]\r\nWClick=1\r\nExeAuto=True\r\nDragDrop=True\r\n"
                                            "Sort=True\r\n[Main]\r\nSort=True\r\n");
    QTest::newRow("everything set")
        << QStringList {"2", "F", "F", "F", "/home/u/" + QString("データ") + "/Tools.zrd", "F", "/d", "/p q"}
        << Placement {-120, -7, 7000, 9000, true}
        << "[Window]\r\nMAXIMIZE=True\r\nTOP=-120\r\nLEFT=-7\r\nHEIGHT=7000\r\nWIDTH=9000\r\n[Project]\r\nWClick=2\r\n"
           "ExeAuto=False\r\nDragDrop=False\r\nSort=False\r\n[Main]\r\nStartFile=/home/u/"
               + kData + "/Tools.zrd\r\nSort=False\r\n[Folder]\r\nData=/d\r\nProject=/p q\r\n";
    QTest::newRow("only the project folder") << QStringList {"0", "T", "F", "T", "", "T", "", "/p"}
                                             << Placement {0, 0, 1, 1, false}
                                             << QByteArray("[Window]\r\nMAXIMIZE=False\r\nTOP=0\r\nLEFT=0\r\nHEIGHT=1\r\n"
                                                           "WIDTH=1\r\n[Project]\r\nWClick=0\r\nExeAuto=True\r\n"
                                                           "DragDrop=False\r\nSort=True\r\n[Main]\r\nSort=True\r\n"
                                                           "[Folder]\r\nProject=/p\r\n");
}

void tst_Settings::freshFile()
{
    QFETCH(QStringList, values);
    QFETCH(Placement, placement);
    QFETCH(QByteArray, text);
    QVERIFY(settings::EnsureSettingsFile(file()));
    QCOMPARE(contents(file()), QByteArray(""));
    setValues(values);
    QCOMPARE(settings::WriteSettings(file(), placement), IniStatus::Ok);
    QCOMPARE(contents(file()), text);

    // What was written reads back the same.
    settings::ResetValues();
    settings::ReadValues(file());
    QCOMPARE(valuesText(), values);
    QCOMPARE(settings::ReadPlacement(file(), 1, 1, 1, 1), placement);
}

void tst_Settings::existingKeysKeepTheirPlace()
{
    QVERIFY(put(file(), "; mine\r\n[Main]\r\nSort=False\r\nStartFile=/old.zrd\r\n[Window]\r\nWIDTH=9000\r\nextra=1\r\n"
                        "[Folder]\r\nProject=/p\r\nData=/d\r\n"));
    settings::ReadValues(file());
    QCOMPARE(valuesText(), (QStringList {"1", "T", "T", "T", "/old.zrd", "F", "/d", "/p"}));
    Values().StartupCatalogue = "/new.zrd";
    Values().LastCatalogueFolder.clear(); // an emptied string setting leaves the file
    QCOMPARE(settings::WriteSettings(file(), Placement {1, 2, 3, 4, true}), IniStatus::Ok);
    QCOMPARE(contents(file()), QByteArray("; mine\r\n[Main]\r\nSort=False\r\nStartFile=/new.zrd\r\n"
                                          "[Window]\r\nWIDTH=4\r\nextra=1\r\nMAXIMIZE=True\r\nTOP=1\r\nLEFT=2\r\nHEIGHT=3\r\n"
                                          "[Folder]\r\nProject=/p\r\n"
                                          "[Project]\r\nWClick=1\r\nExeAuto=True\r\nDragDrop=True\r\nSort=True\r\n"));
}

void tst_Settings::ideCommandAddsOneKey()
{
    const QByteArray text = "[Window]\r\nMAXIMIZE=False\r\nTOP=1\r\nLEFT=2\r\nHEIGHT=3\r\nWIDTH=4\r\n"
                            "[Project]\r\nWClick=1\r\nExeAuto=True\r\nDragDrop=True\r\nSort=True\r\n"
                            "[Main]\r\nStartFile=/s.zrd\r\nSort=True\r\n";
    QVERIFY(put(file(), text));
    settings::ReadValues(file());
    QCOMPARE(Values().IdeCommand, QString(""));
    // Quotes at both ends survive the read, which takes one pair away.
    const QString command = QStringLiteral(R"("/opt/VB 6/wine" "C:\VB98\VB6.EXE" "%f")");
    Values().IdeCommand = command;
    const Placement placement = settings::ReadPlacement(file(), 0, 0, 0, 0);
    QCOMPARE(settings::WriteSettings(file(), placement), IniStatus::Ok);
    QByteArray withCommand = text;
    withCommand.replace("Sort=True\r\n[Main]", "Sort=True\r\nIdeCommand=\"" + command.toUtf8() + "\"\r\n[Main]");
    QCOMPARE(contents(file()), withCommand);
    settings::ResetValues();
    settings::ReadValues(file());
    QCOMPARE(Values().IdeCommand, command);
    // Emptied, the key goes and the file is as it was.
    Values().IdeCommand.clear();
    QCOMPARE(settings::WriteSettings(file(), placement), IniStatus::Ok);
    QCOMPARE(contents(file()), text);
}

void tst_Settings::oddValuesWrittenBack()
{
    // Any WClick is kept, and a start-up file that is gone is not dropped.
    const QByteArray text = "[Window]\r\nMAXIMIZE=False\r\nTOP=1\r\nLEFT=2\r\nHEIGHT=3\r\nWIDTH=4\r\n"
                            "[Project]\r\nWClick=7\r\nExeAuto=True\r\nDragDrop=True\r\nSort=True\r\n"
                            "[Main]\r\nStartFile=/gone/Old.zrd\r\nSort=True\r\n";
    QVERIFY(put(file(), text));
    settings::ReadValues(file());
    QCOMPARE(Values().DoubleClickAction, 7);
    QCOMPARE(Values().StartupCatalogue, QString("/gone/Old.zrd"));
    QCOMPARE(settings::WriteSettings(file(), settings::ReadPlacement(file(), 0, 0, 0, 0)), IniStatus::Ok);
    QCOMPARE(contents(file()), text);
}

void tst_Settings::readValues_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("values");

    QTest::newRow("no file") << QByteArray("<none>") << kDefaults;
    QTest::newRow("empty file") << QByteArray() << kDefaults;
    QTest::newRow("empty values") << QByteArray("[Project]\r\nWClick=\r\nExeAuto=\r\nDragDrop=\r\nSort=\r\n[Main]\r\n"
                                                "StartFile=\r\nSort=\r\n[Folder]\r\nData=\r\nProject=\r\n")
                                  << kDefaults;
    QTest::newRow("other sections only") << QByteArray("[Window]\r\nWClick=0\r\nSort=False\r\n[project]\r\n")
                                         << kDefaults;
    QTest::newRow("all set") << QByteArray("[Project]\r\nWClick=2\r\nExeAuto=False\r\nDragDrop=False\r\nSort=False\r\n"
                                           "[Main]\r\nStartFile=/s.zrd\r\nSort=False\r\n[Folder]\r\nData=/d\r\n"
                                           "Project=/p\r\n")
                             << QStringList {"2", "F", "F", "F", "/s.zrd", "F", "/d", "/p"};
    // The two Sort keys belong to different sections.
    QTest::newRow("one sort off") << QByteArray("[Main]\r\nSort=False\r\n") << QStringList {"1", "T", "T", "T", "", "F", "", ""};
    QTest::newRow("lf only, other case, blanks")
        << QByteArray("[project]\nwclick = 0\nEXEAUTO=false\n[FOLDER]\ndata=" + kData + "\n")
        << QStringList {"0", "F", "T", "T", "", "T", "データ", ""};
    QTest::newRow("negative") << QByteArray("[Project]\r\nWClick=-5\r\n") << QStringList {"-5", "T", "T", "T", "", "T", "", ""};
}

void tst_Settings::readValues()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, values);
    if (text != "<none>")
        QVERIFY(put(file(), text));
    // Every value is read, not left over from before.
    setValues({"9", "F", "F", "F", "/x", "F", "/y", "/z"});
    settings::ReadValues(file());
    QCOMPARE(valuesText(), values);
    if (text == "<none>")
        QVERIFY(!QFileInfo::exists(file()));
}

void tst_Settings::placement_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("screenAndWindow"); // screen width, height, window width, height
    QTest::addColumn<Placement>("placement");

    const QList<int> usual {19201, 14401, 9031, 6301};
    QTest::newRow("nothing stored: centred") << QByteArray() << usual << Placement {4050, 5085, 6000, 8000, false, true, true};
    // Each half is taken on its own: (1001 - 3000) / 2 would give -999.
    QTest::newRow("window larger than the screen") << QByteArray() << QList<int> {1001, 801, 3000, 2000}
                                                   << Placement {-600, -1000, 6000, 8000, false, true, true};
    QTest::newRow("tiny screen") << QByteArray() << QList<int> {1, 1, 4, 4} << Placement {-2, -2, 6000, 8000, false, true, true};
    QTest::newRow("all stored") << QByteArray("[Window]\r\nMAXIMIZE=True\r\nTOP=-120\r\nLEFT=30\r\nHEIGHT=7000\r\nWIDTH=9000\r\n")
                                << usual << Placement {-120, 30, 7000, 9000, true};
    // Centring uses the window's size of the moment, not the stored one applied later.
    QTest::newRow("only size stored") << QByteArray("[Window]\r\nHEIGHT=1000\r\nWIDTH=2000\r\n") << usual
                                      << Placement {4050, 5085, 1000, 2000, false, true, true};
    QTest::newRow("empty values") << QByteArray("[Window]\r\nMAXIMIZE=\r\nTOP=\r\nLEFT=\r\nHEIGHT=\r\nWIDTH=\r\n") << usual
                                  << Placement {4050, 5085, 6000, 8000, false, true, true};
    QTest::newRow("other case") << QByteArray("[window]\r\ntop=5\r\nmaximize=true\r\n") << usual
                                << Placement {5, 5085, 6000, 8000, true, false, true};
}

void tst_Settings::placement()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, screenAndWindow);
    QFETCH(Placement, placement);
    QVERIFY(put(file(), text));
    const Placement p = settings::ReadPlacement(file(), screenAndWindow[0], screenAndWindow[1], screenAndWindow[2],
                                                screenAndWindow[3]);
    // Centred values follow the window's size once its frame is known: the flags count too.
    QCOMPARE(p, placement);
}

void tst_Settings::listWidths_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("widths"); // CategoryList, ProjectName, FileName, Path, ExeName, Status; -1 unset
    QTest::newRow("none") << QByteArray("[Main]\r\nSort=True\r\n") << QList<int>{-1, -1, -1, -1, -1, -1};
    QTest::newRow("all, other case, blanks")
        << QByteArray("[column]\r\ncategorylist = 2400\r\nProjectName=150\r\nFileName=2250\r\nPath=150000\r\n"
                      "ExeName=1441\r\nStatus=+900\r\n")
        << QList<int>{2400, 150, 2250, 150000, 1441, 900};
    // Nothing that is not plainly a usable width: the window's own width instead.
    QTest::newRow("malformed") << QByteArray("[Column]\r\nCategoryList=-1500\r\nProjectName=0\r\nFileName=99999999999\r\n"
                                             "Path=wide\r\nExeName=1440px\r\nStatus=149\r\n")
                               << QList<int>{-1, -1, -1, -1, -1, -1};
    QTest::newRow("empty, huge, fraction") << QByteArray("[Column]\r\nCategoryList=\r\nPath=150001\r\nStatus=1440.5\r\n")
                                           << QList<int>{-1, -1, -1, -1, -1, -1};
}

void tst_Settings::listWidths()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, widths);
    QVERIFY(put(file(), text));
    const settings::ListWidths read = settings::ReadListWidths(file());
    QList<int> got;
    for (const std::optional<qint32> &w : read)
        got.append(w.value_or(-1));
    QCOMPARE(got, widths);
}

void tst_Settings::listWidthsWrittenInPlace()
{
    // Set widths replace their keys where they are or go last; the others stay as they were.
    const QByteArray text = "[Main]\r\nSort=True\r\n[Column]\r\nPath=x\r\nExeName=2000\r\n[Folder]\r\nData=/d\r\n";
    QVERIFY(put(file(), text));
    settings::ReadValues(file());
    settings::ListWidths widths;
    widths[size_t(settings::ListWidth::Status)] = 900;
    widths[size_t(settings::ListWidth::Path)] = 4500;
    const Placement placement = settings::ReadPlacement(file(), 0, 0, 0, 0);
    QCOMPARE(settings::WriteSettings(file(), placement, widths), IniStatus::Ok);
    const QByteArray written = contents(file());
    QVERIFY2(written.startsWith("[Main]\r\nSort=True\r\n[Column]\r\nPath=4500\r\nExeName=2000\r\nStatus=900\r\n"
                                "[Folder]\r\nData=/d\r\n[Window]\r\n"),
             written.constData());
}

void tst_Settings::ensureFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("missing") << "missing" << true << QByteArray("");
    QTest::newRow("existing") << "existing" << true << QByteArray("[Project]\r\nWClick=0\r\n");
    QTest::newRow("no folder") << "no folder" << false << QByteArray("<missing>");
    QTest::newRow("read-only folder") << "read-only folder" << false << QByteArray("<missing>");
}

void tst_Settings::ensureFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, ok);
    QFETCH(QByteArray, after);
    QString path = file();
    if (kind == "existing")
        QVERIFY(put(path, after));
    if (kind == "no folder")
        path = dir_->filePath("gone/ZARUN.ini");
    if (kind == "read-only folder")
        setMode(dir_->path(), 0555);
    QCOMPARE(settings::EnsureSettingsFile(path), ok);
    setMode(dir_->path(), 0755);
    QCOMPARE(contents(path), after);
}

void tst_Settings::writeFailureKeepsFile()
{
    const QByteArray text = "[Project]\r\nWClick=0\r\n";
    QVERIFY(put(file(), text));
    setMode(file(), 0444);
    QCOMPARE(settings::WriteSettings(file(), Placement {1, 2, 3, 4, false}), IniStatus::ReadOnly);
    QCOMPARE(contents(file()), text);
}

void tst_Settings::unreadAtStartNotWritten_data()
{
    QTest::addColumn<QString>("atStart");
    QTest::addColumn<IniStatus>("status");
    QTest::addColumn<QByteArray>("after");
    const QByteArray mine = "[Window]\r\nTOP=77\r\n";
    // Readable again by the close: the defaults held since the start must still not replace it.
    QTest::newRow("too large") << "too large" << IniStatus::Unreadable << mine;
    QTest::newRow("a folder") << "a folder" << IniStatus::Unreadable << QByteArray("<missing>");
    QTest::newRow("missing: written") << "missing" << IniStatus::Ok << QByteArray("[Window]\r\nMAXIMIZE=False\r\n");
}

void tst_Settings::unreadAtStartNotWritten()
{
    QFETCH(QString, atStart);
    QFETCH(IniStatus, status);
    QFETCH(QByteArray, after);
    const QByteArray mine = "[Window]\r\nTOP=77\r\n";
    if (atStart == "too large") {
        QVERIFY(put(file(), mine));
        QVERIFY(QFile::resize(file(), platform::IniStore::kMaxFileBytes + 1)); // sparse: no disk used
    } else if (atStart == "a folder") {
        QVERIFY(QDir().mkdir(file()));
    }
    const Placement placement = settings::ReadPlacement(file(), 0, 0, 0, 0);
    settings::ReadValues(file());
    settings::ReadListWidths(file());
    if (atStart == "too large")
        QVERIFY(QFile::resize(file(), mine.size()));
    else if (atStart == "a folder")
        QVERIFY(QDir().rmdir(file()));

    QCOMPARE(settings::WriteSettings(file(), placement), status);
    QVERIFY2(contents(file()).startsWith(after), contents(file()).constData());
}

void tst_Settings::defaultPath()
{
    platform::SetProgramFolderForTesting(dir_->path());
    QCOMPARE(settings::DefaultSettingsFilePath(), file());
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
