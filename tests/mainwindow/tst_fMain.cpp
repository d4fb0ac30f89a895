#include "catalogue/CatalogueChanges.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/cVbAnalyze.h"
#include "catalogue/mIniFile.h"
#include "common/AccessibleNames.h"
#include "common/Palettes.h"
#include "common/TestFolders.h"
#include "common/FileBytes.h"
#include "common/ResetGlobals.h"
#include "common/ScriptedUserInterface.h"
#include "dialogs/fMove.h"
#include "mainwindow/MainLayout.h"
#include "mainwindow/ui/ProjectListView.h"
#include "mainwindow/ReturnFromElsewhere.h"
#include "settings/Settings.h"
#include "mainwindow/ui/ColumnWidths.h"
#include "mainwindow/ui/SplitHandle.h"
#include "mainwindow/ui/MainLists.h"
#include "mainwindow/ui/MainMenus.h"
#include "mainwindow/ui/fMain.h"
#include "platform/DesktopAssociation.h"
#include "platform/IniStore.h"
#include "platform/OffThread.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "platform/Twips.h"
#include "support/ui/cCommonDlg.h"
#include "support/ui/ReadableColour.h"
#include "mainwindow/ui/BuildCommands.h"
#include "tooling/IdeBuild.h"
#include "tooling/mMain.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QDialog>
#include <QFile>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <QComboBox>
#include <QUrl>
#include <QScrollBar>
#include <QToolTip>

#include <optional>

using catalogue::State;

namespace {

QByteArray Cp932(const QString &text) { return *platform::EncodeCp932(text); }

QStringList ActionTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QStringList RowTexts(const ReportListView *list, int column = 0)
{
    QStringList texts;
    for (qint32 i = 1; i <= list->RowCount(); ++i)
        texts.append(list->Text(i, column));
    return texts;
}

// Which of the selection-dependent entries are enabled, as a compact string.
QString EnabledState(const fMain &w)
{
    QString s;
    for (const QAction *a : {w.Menus().mnuCtgEdit, w.Menus().mnuCtgDel, w.Menus().mnuProjectAdd, w.Menus().mnuProjectEdit, w.Menus().mnuProjectDel,
                             w.Menus().mnuProjectMove, w.Menus().mnuProjectOpen, w.Menus().mnuProjectFolder, w.Menus().mnuProjectExe,
                             w.Menus().mnuProjectMakeExe})
        s += a->isEnabled() ? u'1' : u'0';
    return s;
}

} // namespace

class tst_fMain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void menusAndColumns();
    void dataKeys_data();
    void dataKeys();
    void layoutArithmetic_data();
    void layoutArithmetic();
    void returnFromElsewhere_data();
    void returnFromElsewhere();
    void layoutOfTheLists();
    void loadShowsFirstCategory();
    void loadOfFileWithoutSections();
    void selectionAndMenuStates();
    void keyboardMovesTheSelection();
    void onlyASelectedRowIsCurrent();
    void keys_data();
    void keys();
    void drops_data();
    void drops();
    void doubleClickActions_data();
    void doubleClickActions();
    void firstChangeWithoutFileAsksForName();
    void openAndNew();
    void deleteOfSeveralCategories_data();
    void deleteOfSeveralCategories();
    void addProjectsThroughDialog();
    void startUpAndShutDown();
    void startUpCatalogueWaitsForAnOpenDialog();
    void catalogueGivenFromOutside();
    void maximizedAndMinimizedKeepNormalPlacement();
    void placementWrittenBackAsRead_data();
    void placementWrittenBackAsRead();
    void restoredWindowStaysOnScreen_data();
    void restoredWindowStaysOnScreen();
    void moveClearsTheSelection();
    void statusColumnFollowsTheFiles();
    void missingReferenceIsAStatus_data();
    void missingReferenceIsAStatus();
    void filteredRowsActOnTheirEntries_data();
    void filteredRowsActOnTheirEntries();
    void filterBoxKeys_data();
    void filterBoxKeys();
    void listWidthsKept_data();
    void listWidthsKept();
    void listWidthsChangedByUser();
    void folderCutInTheMiddle_data();
    void folderCutInTheMiddle();
    void categoryListFitsItsNames();
    void categoryMarkHasItsRoomBeforeItComes();
    void rowsFirstPaintWithTheirScrollBar();
    void categoryListScrollsOnlyWhenNeeded_data();
    void categoryListScrollsOnlyWhenNeeded();
    void buildCategoryFromTheMenu();
    void singleBuildOffersWhatItDependsOn_data();
    void singleBuildOffersWhatItDependsOn();
    void closingTheWindowEndsTheRun();
    void columnsFitTheirTexts_data();
    void columnsFitTheirTexts();
    void emptyListSaysWhatToDo_data();
    void emptyListSaysWhatToDo();
    void hintsReadOnEveryScheme_data();
    void hintsReadOnEveryScheme();
    void moveInEveryCategoryKeepsTheCategory_data();
    void moveInEveryCategoryKeepsTheCategory();
    void unmaximizedWindowStaysOnScreen_data();
    void oneIdeDuringARun_data();
    void oneIdeDuringARun();
    void unmaximizedWindowStaysOnScreen();

private:
    QString catalogue(const QByteArray &bytes);
    void load(fMain &w, const QByteArray &bytes);
    QString vbp(const QString &name, const QString &exeName);
    // Adds projects as the add command does once their .vbp files are read.
    void add(const QString &category, const QList<std::pair<const char *, const char *>> &namesAndFiles);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedUserInterface> ui_;
};

void tst_fMain::initTestCase() { UseTestFolders(); }

void tst_fMain::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    platform::SetProgramFolderForTesting(dir_->path());
    ResetGlobals();
    settings::Values().AutoMakeExe = false;
    ui_ = std::make_unique<ScriptedUserInterface>();
}

void tst_fMain::cleanup()
{
    // A build a failed test left waiting ends before its folder goes.
    qunsetenv("ZARUN_FAKE_IDE_FAIL");
    qunsetenv("ZARUN_FAKE_IDE_HOLD");
    put(dir_->filePath(QStringLiteral("release")), "");
    QTRY_COMPARE_WITH_TIMEOUT(tooling::IdeBuild::Running(), 0, 30000);
    cCommonDlg::ResetAnswerer();
    ui_.reset();
    platform::SetProgramFolderForTesting(QString());
    dir_.reset();
}

QString tst_fMain::catalogue(const QByteArray &bytes)
{
    const QString path = dir_->filePath(QStringLiteral("Tools.zrd"));
    if (!put(path, bytes))
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

void tst_fMain::load(fMain &w, const QByteArray &bytes)
{
    State().CatalogueFilePath = catalogue(bytes);
    w.Commands().LoadCatalogue();
}

void tst_fMain::add(const QString &category, const QList<std::pair<const char *, const char *>> &namesAndFiles)
{
    QList<catalogue::NewProject> projects;
    for (const auto &[name, file] : namesAndFiles)
        projects.append({QString::fromUtf8(file), QString::fromUtf8(name), QString()});
    const catalogue::ChangeResult result = catalogue::AddProjects(category, projects);
    QVERIFY2(result.Done, qPrintable(result.Message));
}

QString tst_fMain::vbp(const QString &name, const QString &exeName)
{
    const QString path = dir_->filePath(name + QStringLiteral(".vbp"));
    if (!put(path, "Type=Exe\r\nName=\"" + name.toLatin1() + "\"\r\nExeName32=\"" + exeName.toLatin1() + "\"\r\n"))
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

void tst_fMain::menusAndColumns()
{
    fMain w;
    QCOMPARE(w.windowTitle(), QStringLiteral("ZARUN"));
    QCOMPARE(w.Menus().mnuData->title(), QStringLiteral("ﾃﾞｰﾀ(&D)"));
    QCOMPARE(ActionTexts(w.Menus().mnuData), (QStringList{QStringLiteral("新規作成(&N)"), QStringLiteral("開く(&O)"), "-",
                                                  QStringLiteral("上書き保存(&S)"),
                                                  QStringLiteral("名前を付けて保存(&A)"), "-",
                                                  QStringLiteral("終了(&X)")}));
    QCOMPARE(w.Menus().mnuCategory->title(), QStringLiteral("ｶﾃｺﾞﾘｰ(&C)"));
    QCOMPARE(ActionTexts(w.Menus().mnuCategory), (QStringList{QStringLiteral("追加"), QStringLiteral("編集"), QStringLiteral("削除"),
                                                      "-", QStringLiteral("ｶﾃｺﾞﾘｰ内をすべて作成")}));
    QCOMPARE(w.Menus().mnuProject->title(), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ(&P)"));
    QCOMPARE(ActionTexts(w.Menus().mnuProject),
             (QStringList{QStringLiteral("追加"), QStringLiteral("編集"), QStringLiteral("削除"), QStringLiteral("移動"),
                          "-", QStringLiteral("ソースを開く"), QStringLiteral("フォルダを開く"),
                          QStringLiteral("実行ファイルを開く"), "-", QStringLiteral("実行ファイル作成"),
                          QStringLiteral("ﾋﾞﾙﾄﾞﾛｸﾞを開く"), QStringLiteral("参照の一覧")}));
    QCOMPARE(w.Menus().mnuHelp->title(), QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    QCOMPARE(ActionTexts(w.Menus().mnuHelp), (QStringList{QStringLiteral("ReadMe.txtを読む"), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報")}));
    // The settings command sits on the menu bar itself, between the project and help menus.
    const QList<QAction *> bar = w.menuBar()->actions();
    QCOMPARE(bar.size(), 5);
    QCOMPARE(bar[3], w.Menus().mnuOption);
    QCOMPARE(w.Menus().mnuOption->text(), QStringLiteral("設定(&O)"));
    QVERIFY(!w.Menus().mnuOption->menu());

    QCOMPARE(w.Lists().lvwCategory()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("カテゴリー"));
    QCOMPARE(w.Lists().lvwCategory()->columnWidth(0), w.Lists().lvwCategory()->viewport()->width());
    // The four columns of the list, then the status.
    const QStringList captions{QStringLiteral("プロジェクト名"), QStringLiteral("ファイル名"), QStringLiteral("パス"),
                               QStringLiteral("実行ファイル名"), QStringLiteral("状態")};
    QCOMPARE(w.Lists().lvwProjectList()->model()->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        QCOMPARE(w.Lists().lvwProjectList()->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
        // Not a fixed width: the status as wide as its longest word (columnsFitTheirTexts for the rest).
        if (c == 4)
            QVERIFY(w.Lists().lvwProjectList()->columnWidth(c)
                    >= w.Lists().lvwProjectList()->fontMetrics().horizontalAdvance(QStringLiteral("ソースなし")));
    }
    QCOMPARE(w.Lists().lvwProjectList()->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(UnnamedControls(&w), QStringList());
    QCOMPARE(EnabledState(w), QStringLiteral("0000000000"));
}

void tst_fMain::dataKeys_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("entry"); // "" for none
    QTest::newRow("Ctrl+N: new") << QKeySequence(QStringLiteral("Ctrl+N")) << QStringLiteral("新規作成(&N)");
    QTest::newRow("Ctrl+O: open") << QKeySequence(QStringLiteral("Ctrl+O")) << QStringLiteral("開く(&O)");
    QTest::newRow("Ctrl+S: save") << QKeySequence(QStringLiteral("Ctrl+S")) << QStringLiteral("上書き保存(&S)");
    QTest::newRow("Ctrl+A: nothing") << QKeySequence(QStringLiteral("Ctrl+A")) << QString();
    QTest::newRow("Ctrl+X: not quit") << QKeySequence(QStringLiteral("Ctrl+X")) << QString();
}

void tst_fMain::dataKeys()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, entry);
    cCommonDlg::SetAnswerer([](const support::FileDialogRequest &) { return std::nullopt; });
    fMain w;
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QStringList triggered;
    for (QAction *action : w.Menus().mnuData->actions())
        connect(action, &QAction::triggered, &w, [&triggered, action] { triggered.append(action->text()); });
    QTest::keySequence(&w, keys);
    QCOMPARE(triggered, entry.isEmpty() ? QStringList() : QStringList{entry});
}

void tst_fMain::returnFromElsewhere_data()
{
    // A: active, I: inactive, H: hidden; one expected answer a change.
    QTest::addColumn<QString>("states");
    QTest::addColumn<QString>("returns");
    QTest::newRow("first activation at start") << "IA" << "nn";
    QTest::newRow("back from another program") << "AIA" << "nny";
    QTest::newRow("hidden, then back") << "AHA" << "nny";
    QTest::newRow("active twice in a row") << "AAIAA" << "nnnyn";
    QTest::newRow("away twice before coming back") << "AIHA" << "nnny";
}

void tst_fMain::returnFromElsewhere()
{
    QFETCH(QString, states);
    QFETCH(QString, returns);
    ReturnFromElsewhere watch;
    QString got;
    for (const QChar c : states) {
        const Qt::ApplicationState state = c == u'A' ? Qt::ApplicationActive
                                           : c == u'H' ? Qt::ApplicationHidden
                                                       : Qt::ApplicationInactive;
        got += watch.Returned(state) ? u'y' : u'n';
    }
    QCOMPARE(got, returns);
}

void tst_fMain::layoutArithmetic_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("filterHeight");
    QTest::addColumn<int>("categoryWidth");
    QTest::addColumn<bool>("laidOut");
    QTest::addColumn<QList<int>>("category");
    QTest::addColumn<QList<int>>("filter");
    QTest::addColumn<QList<int>>("projects");
    QTest::newRow("10000 x 5000") << 10000 << 5000 << 0 << 1500 << true << QList<int>{90, 90, 1500, 4820}
                                  << QList<int>{1700, 90, 8200, 0} << QList<int>{1700, 90, 8200, 4820};
    QTest::newRow("no height") << 10000 << 0 << 0 << 1500 << false << QList<int>{} << QList<int>{} << QList<int>{};
    QTest::newRow("too small: sizes at 0") << 1000 << 100 << 0 << 1500 << true << QList<int>{90, 90, 1500, 0}
                                           << QList<int>{1700, 90, 0, 0} << QList<int>{1700, 90, 0, 0};
    // The filter row takes the top of the project list's place; the category list keeps its own.
    QTest::newRow("filter row of 360") << 10000 << 5000 << 360 << 1500 << true << QList<int>{90, 90, 1500, 4820}
                                       << QList<int>{1700, 90, 8200, 360} << QList<int>{1700, 510, 8200, 4400};
    QTest::newRow("filter row in a low window") << 10000 << 400 << 360 << 1500 << true << QList<int>{90, 90, 1500, 220}
                                                << QList<int>{1700, 90, 8200, 360} << QList<int>{1700, 510, 8200, 0};
    // The split moved: the gap of 110 and the margins stay.
    QTest::newRow("split at 3000") << 10000 << 5000 << 0 << 3000 << true << QList<int>{90, 90, 3000, 4820}
                                   << QList<int>{3200, 90, 6700, 0} << QList<int>{3200, 90, 6700, 4820};
    QTest::newRow("narrow split") << 10000 << 5000 << 0 << 600 << true << QList<int>{90, 90, 600, 4820}
                                  << QList<int>{800, 90, 9100, 0} << QList<int>{800, 90, 9100, 4820};
    // A wide split gives way to the project list's least width, but not below the default.
    QTest::newRow("wide split, narrow window") << 4000 << 5000 << 0 << 3500 << true << QList<int>{90, 90, 3100, 4820}
                                               << QList<int>{3300, 90, 600, 0} << QList<int>{3300, 90, 600, 4820};
    QTest::newRow("wide split, tiny window") << 2000 << 5000 << 0 << 3500 << true << QList<int>{90, 90, 1500, 4820}
                                             << QList<int>{1700, 90, 200, 0} << QList<int>{1700, 90, 200, 4820};
}

void tst_fMain::layoutArithmetic()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, filterHeight);
    QFETCH(int, categoryWidth);
    QFETCH(bool, laidOut);
    const auto layout = mainwindow::LayoutLists(width, height, filterHeight, categoryWidth);
    QCOMPARE(layout.has_value(), laidOut);
    if (!layout)
        return;
    QFETCH(QList<int>, category);
    QFETCH(QList<int>, filter);
    QFETCH(QList<int>, projects);
    const auto asList = [](const mainwindow::Box &b) { return QList<int>{b.Left, b.Top, b.Width, b.Height}; };
    QCOMPARE(asList(layout->Category), category);
    QCOMPARE(asList(layout->Filter), filter);
    QCOMPARE(asList(layout->Projects), projects);
}

void tst_fMain::layoutOfTheLists()
{
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(800, 500);
    QTRY_COMPARE(w.centralWidget()->width(), 800);
    const int clientHeight = w.centralWidget()->height();
    QCOMPARE(w.Lists().lvwCategory()->geometry(), QRect(6, 6, 100, clientHeight - 12));
    // The filter row on top, the project list 4 pixels (60 twips) below it.
    const int filterHeight = w.Lists().txtFilter()->height();
    QVERIFY(filterHeight > 10);
    QCOMPARE(w.Lists().txtFilter()->geometry().topLeft(), QPoint(113, 6));
    QCOMPARE(w.Lists().chkAllCategories()->geometry().right(), 792);
    QVERIFY(w.Lists().txtFilter()->geometry().right() < w.Lists().chkAllCategories()->geometry().left());
    QCOMPARE(w.Lists().lvwProjectList()->geometry(), QRect(113, 6 + filterHeight + 4, 800 - 120, clientHeight - 12 - filterHeight - 4));
    // The remembered normal placement follows the size.
    QCOMPARE(w.Placement().NormalWidth, w.frameGeometry().width() * 15);
}

void tst_fMain::loadShowsFirstCategory()
{
    fMain w;
    const QString calc = vbp(QStringLiteral("Calc"), QStringLiteral("Calc.exe"));
    load(w, Cp932(QStringLiteral("[Tools]\r\n電卓=%1\r\nMissing=%2\r\n[Games]\r\nPuzzle=x\r\n")
                      .arg(calc, dir_->filePath(QStringLiteral("gone/Gone.vbp")))));
    QCOMPARE(RowTexts(w.Lists().lvwCategory()), (QStringList{QStringLiteral("Tools"), QStringLiteral("Games")}));
    QCOMPARE(w.Lists().lvwCategory()->SelectedRow(), 1);
    QCOMPARE(State().CategoryCount, 2);
    QCOMPARE(State().CurrentCategory, 1);
    QCOMPARE(State().CurrentProject, 0);
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()), (QStringList{QStringLiteral("電卓"), QStringLiteral("Missing")}));
    QCOMPARE(RowTexts(w.Lists().lvwProjectList(), 1), (QStringList{QStringLiteral("Calc.vbp"), QStringLiteral("Gone.vbp")}));
    QCOMPARE(RowTexts(w.Lists().lvwProjectList(), 2), (QStringList{dir_->path(), dir_->filePath(QStringLiteral("gone"))}));
    // Executables are read off this thread and fill in as they arrive.
    QTRY_COMPARE(RowTexts(w.Lists().lvwProjectList(), 3), (QStringList{QStringLiteral("Calc.exe"), QString()}));
    QCOMPARE(w.windowTitle(), QStringLiteral("ZARUN - (Tools.zrd)"));
    QCOMPARE(EnabledState(w), QStringLiteral("1110000000"));
    QCOMPARE(ui_->progress, QStringList{QStringLiteral("Tools.zrd を読み込み中")});
    QVERIFY(!ui_->progressShown);
    QVERIFY(ui_->messages.isEmpty());
}

void tst_fMain::loadOfFileWithoutSections()
{
    fMain w;
    load(w, Cp932(QStringLiteral("[Old]\r\nA=1\r\n")));
    ui_->messages.clear();
    // A file with only a comment, then one that does not exist.
    for (const QByteArray &bytes : {QByteArray("; nothing\r\n"), QByteArray()}) {
        load(w, bytes);
        QCOMPARE(ui_->messages, QStringList{QStringLiteral("中身がありません。")});
        ui_->messages.clear();
        QCOMPARE(w.Lists().lvwCategory()->RowCount(), 0);
        QCOMPARE(w.Lists().lvwProjectList()->RowCount(), 0);
        QCOMPARE(EnabledState(w), QStringLiteral("0000000000"));
        QCOMPARE(w.windowTitle(), QStringLiteral("ZARUN - (Tools.zrd)"));
    }
    State().CatalogueFilePath = dir_->filePath(QStringLiteral("none.zrd"));
    w.Commands().LoadCatalogue();
    QCOMPARE(ui_->messages, QStringList{QStringLiteral("中身がありません。")});
    QCOMPARE(w.windowTitle(), QStringLiteral("ZARUN - (none.zrd)"));
    QVERIFY(!ui_->progressShown);
}

void tst_fMain::selectionAndMenuStates()
{
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    load(w, "[A]\r\np1=x\r\np2=y\r\n[B]\r\nq1=z\r\n");
    auto click = [](ReportListView *list, int row) {
        const QRect rect = list->visualRect(list->model()->index(row - 1, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    };
    click(w.Lists().lvwProjectList(), 2);
    QCOMPARE(State().CurrentProject, 2);
    QCOMPARE(EnabledState(w), QStringLiteral("1111111111"));
    // Clicking the category list takes the focus from the project list: project entries off, add stays.
    click(w.Lists().lvwCategory(), 2);
    QCOMPARE(State().CurrentCategory, 2);
    QCOMPARE(State().CurrentProject, 0);
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()), QStringList{QStringLiteral("q1")});
    QCOMPARE(EnabledState(w), QStringLiteral("1110000000"));
    // Clicking the selected category again refills the list and clears the project.
    click(w.Lists().lvwProjectList(), 1);
    QCOMPARE(State().CurrentProject, 1);
    click(w.Lists().lvwCategory(), 2);
    QCOMPARE(State().CurrentProject, 0);
    QCOMPARE(w.Lists().lvwProjectList()->SelectedRow(), 0);
    // A menu taking the focus is not a loss of focus.
    click(w.Lists().lvwProjectList(), 1);
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(w.Lists().lvwProjectList(), &popup);
    QFocusEvent menuBar(QEvent::FocusOut, Qt::MenuBarFocusReason);
    QApplication::sendEvent(w.Lists().lvwProjectList(), &menuBar);
    QCOMPARE(EnabledState(w), QStringLiteral("1111111111"));
    QFocusEvent tab(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w.Lists().lvwProjectList(), &tab);
    QCOMPARE(EnabledState(w), QStringLiteral("1110000000"));
    QCOMPARE(State().CurrentProject, 1);
    // A click below the last category highlights none: none is current, and Delete asks nothing.
    ReportListView *categories = w.Lists().lvwCategory();
    const QRect last = categories->visualRect(categories->model()->index(1, 0));
    QVERIFY(last.bottom() + 10 < categories->viewport()->height());
    QTest::mouseClick(categories->viewport(), Qt::LeftButton, {}, QPoint(last.center().x(), last.bottom() + 10));
    QCOMPARE(categories->SelectedRow(), 0);
    QCOMPARE(State().CurrentCategory, 0);
    QCOMPARE(EnabledState(w), QStringLiteral("0000000000"));
    categories->setFocus();
    QTest::keyClick(categories, Qt::Key_Delete);
    QCOMPARE(ui_->confirmations, QStringList());
    QCOMPARE(State().CategoryCount, 2);
}

void tst_fMain::keyboardMovesTheSelection()
{
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    load(w, "[A]\r\np1=x\r\np2=y\r\n[B]\r\nq1=z\r\n[C]\r\n");
    w.Lists().lvwCategory()->setFocus();
    QTest::keyClick(w.Lists().lvwCategory(), Qt::Key_Down);
    QCOMPARE(State().CurrentCategory, 2);
    QCOMPARE(w.Lists().lvwCategory()->SelectedRow(), 2);
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()), QStringList{QStringLiteral("q1")});
    QTest::keyClick(w.Lists().lvwCategory(), Qt::Key_Up);
    QCOMPARE(State().CurrentCategory, 1);
    w.Lists().lvwProjectList()->setFocus();
    QTest::keyClick(w.Lists().lvwProjectList(), Qt::Key_Down);
    QTest::keyClick(w.Lists().lvwProjectList(), Qt::Key_Down);
    QCOMPARE(w.Lists().lvwProjectList()->SelectedRow(), 2);
    QCOMPARE(State().CurrentProject, 2);
    QCOMPARE(EnabledState(w), QStringLiteral("1111111111"));
}

void tst_fMain::onlyASelectedRowIsCurrent()
{
    fMain w;
    w.resize(600, 400);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    load(w, "[A]\r\np1=x\r\np2=y\r\n[B]\r\n");
    const auto rowCentre = [&](int row) { return w.Lists().lvwProjectList()->visualRect(w.Lists().lvwProjectList()->model()->index(row - 1, 0)).center(); };
    // Focus alone selects nothing.
    w.Lists().lvwCategory()->setFocus();
    QTest::keyClick(w.Lists().lvwCategory(), Qt::Key_Tab);
    QTRY_VERIFY(w.Lists().lvwProjectList()->hasFocus());
    QCOMPARE(State().CurrentProject, 0);
    QCOMPARE(EnabledState(w), QStringLiteral("1110000000"));
    // A click on the empty area below the rows clears the selection and the current project.
    QTest::mouseClick(w.Lists().lvwProjectList()->viewport(), Qt::LeftButton, {}, rowCentre(2));
    QCOMPARE(State().CurrentProject, 2);
    QTest::mouseClick(w.Lists().lvwProjectList()->viewport(), Qt::LeftButton, {}, QPoint(5, w.Lists().lvwProjectList()->viewport()->height() - 5));
    QCOMPARE(State().CurrentProject, 0);
    QCOMPARE(w.Lists().lvwProjectList()->SelectedRow(), 0);
    QCOMPARE(EnabledState(w), QStringLiteral("1110000000"));
    // A right click selects the row under the pointer before its menu shows.
    QTimer::singleShot(0, [] {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    });
    QTest::mousePress(w.Lists().lvwProjectList()->viewport(), Qt::RightButton, {}, rowCentre(1));
    QCOMPARE(State().CurrentProject, 1);
    QCOMPARE(w.Lists().lvwProjectList()->SelectedRow(), 1);
}

void tst_fMain::keys_data()
{
    QTest::addColumn<bool>("inProjectList");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("asked"); // the question or message that shows what the key did
    QTest::newRow("Delete in the project list") << true << int(Qt::Key_Delete)
                                                << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ削除|ﾌﾟﾛｼﾞｪｸﾄ　[p1]　を削除しますか?");
    QTest::newRow("Enter in the project list") << true << int(Qt::Key_Return)
                                               << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ　/none/p1.vbp　が見つかりません。");
    QTest::newRow("Delete in the category list")
        << false << int(Qt::Key_Delete)
        << QStringLiteral("ｶﾃｺﾞﾘｰ削除|ｶﾃｺﾞﾘｰ　[A]　を削除します。\r\n\r\n登録したﾌﾟﾛｼﾞｪｸﾄﾘｽﾄも一緒に削除されますがよろしいですか。");
    QTest::newRow("F2 in the category list") << false << int(Qt::Key_F2)
                                             << QStringLiteral("ｶﾃｺﾞﾘｰ編集|ｶﾃｺﾞﾘｰ名を入力してください。|A");
}

void tst_fMain::keys()
{
    QFETCH(bool, inProjectList);
    QFETCH(int, key);
    QFETCH(QString, asked);
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    load(w, "[A]\r\np1=/none/p1.vbp\r\n");
    settings::Values().DoubleClickAction = 1;
    ReportListView *list = inProjectList ? w.Lists().lvwProjectList() : w.Lists().lvwCategory();
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());
    if (inProjectList)
        w.Commands().SelectProject(1);
    QTest::keyClick(list, Qt::Key(key));
    const QStringList shown = ui_->confirmations + ui_->inputPrompts + ui_->messages;
    QCOMPARE(shown, QStringList{asked});
}

void tst_fMain::drops_data()
{
    QTest::addColumn<bool>("dragDrop");
    QTest::addColumn<bool>("categorySelected");
    QTest::addColumn<QStringList>("added");
    QTest::newRow("only lower-case vbp") << true << true << QStringList{QStringLiteral("A")};
    QTest::newRow("drops switched off") << false << true << QStringList{};
    QTest::newRow("no category selected") << true << false << QStringList{};
}

void tst_fMain::drops()
{
    QFETCH(bool, dragDrop);
    QFETCH(bool, categorySelected);
    QFETCH(QStringList, added);
    fMain w;
    if (categorySelected)
        load(w, "[A]\r\n");
    settings::Values().DragDropEnabled = dragDrop;
    const QString a = vbp(QStringLiteral("A"), QStringLiteral("A.exe"));
    const QString b = dir_->filePath(QStringLiteral("B.txt"));
    const QString c = vbp(QStringLiteral("C"), QStringLiteral("C.exe"));
    const QString upper = dir_->filePath(QStringLiteral("C.VBP"));
    QVERIFY(QFile::rename(c, upper));
    QVERIFY(put(b, "text"));
    // A folder named like a project is refused as the add dialog refuses it.
    const QString folder = dir_->filePath(QStringLiteral("D.vbp"));
    QVERIFY(QDir().mkpath(folder));

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b), QUrl::fromLocalFile(upper),
                   QUrl::fromLocalFile(folder)});
    QMimeData text;
    text.setText(QStringLiteral("A.vbp"));
    // The cursor: copy for a file list whatever the setting, none for anything else.
    QVERIFY(ReportListView::HoldsFileList(&files));
    QVERIFY(!ReportListView::HoldsFileList(&text));
    QDragEnterEvent enterText(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(w.Lists().lvwProjectList()->viewport(), &enterText);
    QVERIFY(!enterText.isAccepted());
    QDragEnterEvent enterFiles(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(w.Lists().lvwProjectList()->viewport(), &enterFiles);
    QVERIFY(enterFiles.isAccepted());
    QCOMPARE(enterFiles.dropAction(), Qt::CopyAction);

    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(w.Lists().lvwProjectList()->viewport(), &drop);
    // The drop returns at once; its files are added after it.
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()), QStringList());
    QCoreApplication::processEvents();
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()), added);
    QCOMPARE(ui_->messages.size(), added.isEmpty() ? 0 : 1);
    const catalogue::cVbAnalyze *category = State().Current();
    QCOMPARE(category ? category->Count() : 0, added.size());
}

void tst_fMain::doubleClickActions_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("0 folder") << 0 << QStringList{QStringLiteral("ﾌｫﾙﾀﾞが設定されていません。")};
    QTest::newRow("1 source") << 1 << QStringList{QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙが設定されていません。")};
    QTest::newRow("2 executable") << 2 << QStringList{QStringLiteral("実行ﾌｧｲﾙが設定されていません。")};
    QTest::newRow("5 nothing") << 5 << QStringList{};
}

void tst_fMain::doubleClickActions()
{
    QFETCH(int, action);
    QFETCH(QStringList, messages);
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // An empty value loads as a project without path, folder or executable.
    load(w, "[A]\r\nUnset=\r\n");
    settings::Values().DoubleClickAction = action;
    const QRect rect = w.Lists().lvwProjectList()->visualRect(w.Lists().lvwProjectList()->model()->index(0, 0));
    QTest::mouseClick(w.Lists().lvwProjectList()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(w.Lists().lvwProjectList()->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(ui_->messages, messages);
}

void tst_fMain::firstChangeWithoutFileAsksForName()
{
    fMain w;
    const QString target = dir_->filePath(QStringLiteral("Chosen.zrd"));
    // Cancelled: no category.
    w.Commands().AddCategory();
    QCOMPARE(ui_->saveDialogs, 1);
    QCOMPARE(State().CategoryCount, 0);
    QVERIFY(ui_->inputPrompts.isEmpty());

    ui_->saveAnswers << target;
    ui_->inputAnswers << QStringLiteral("A");
    w.Commands().AddCategory();
    QCOMPARE(State().CatalogueFilePath, target);
    QCOMPARE(w.windowTitle(), QStringLiteral("ZARUN - (Chosen.zrd)"));
    QCOMPARE(settings::Values().LastCatalogueFolder, dir_->path());
    add("A", {{"p", "x.vbp"}});
    QCOMPARE(contents(target), QByteArray("[A]\r\np=x.vbp\r\n"));
    QCOMPARE(ui_->saveDialogs, 2);

    // Save without a file asks through the file dialog.
    w.Commands().NewCatalogue();
    State().CatalogueFilePath.clear();
    QStringList titles;
    cCommonDlg::SetAnswerer([&](const support::FileDialogRequest &request) -> std::optional<QStringList> {
        titles.append(request.title);
        return std::nullopt;
    });
    QVERIFY(!w.SaveCatalogue());
    QCOMPARE(titles, QStringList{QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの保存")});
}

void tst_fMain::openAndNew()
{
    fMain w;
    const QString path = catalogue("[X]\r\na=b\r\n");
    settings::Values().LastCatalogueFolder = QStringLiteral("/start/here");
    QList<support::FileDialogRequest> requests;
    bool cancel = true;
    cCommonDlg::SetAnswerer([&](const support::FileDialogRequest &request) -> std::optional<QStringList> {
        requests.append(request);
        return cancel ? std::nullopt : std::optional<QStringList>(QStringList{path});
    });
    w.Menus().OpenCatalogue();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].title, QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙを開く"));
    QCOMPARE(requests[0].initialFolder, QStringLiteral("/start/here"));
    QCOMPARE(requests[0].flags, 2623492u);
    QCOMPARE(State().CatalogueFilePath, QString());
    QCOMPARE(w.windowTitle(), QStringLiteral("ZARUN"));
    QCOMPARE(settings::Values().LastCatalogueFolder, QStringLiteral("/start/here"));

    cancel = false;
    w.Menus().OpenCatalogue();
    QCOMPARE(State().CatalogueFilePath, path);
    QCOMPARE(settings::Values().LastCatalogueFolder, dir_->path());
    QCOMPARE(RowTexts(w.Lists().lvwCategory()), QStringList{QStringLiteral("X")});

    w.Commands().NewCatalogue();
    QCOMPARE(w.Lists().lvwCategory()->RowCount(), 0);
    QCOMPARE(w.Lists().lvwProjectList()->RowCount(), 0);
    QCOMPARE(State().CategoryCount, 0);
    QCOMPARE(State().CatalogueFilePath, dir_->filePath(QStringLiteral("NewFile.zrd")));
    QCOMPARE(w.windowTitle(), QStringLiteral("ZARUN - (NewFile.zrd)"));
    QVERIFY(!QFile::exists(State().CatalogueFilePath));
    QCOMPARE(EnabledState(w), QStringLiteral("0000000000"));
}

void tst_fMain::deleteOfSeveralCategories_data()
{
    QTest::addColumn<int>("deleted");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("current");
    QTest::newRow("second of four") << 2 << QStringList{"A", "C", "D"} << 1;
    QTest::newRow("last of four") << 4 << QStringList{"A", "B", "C"} << 3;
    QTest::newRow("first of four") << 1 << QStringList{"B", "C", "D"} << 1;
}

void tst_fMain::deleteOfSeveralCategories()
{
    QFETCH(int, deleted);
    QFETCH(QStringList, remaining);
    QFETCH(int, current);
    fMain w;
    load(w, "[A]\r\na=1\r\n[B]\r\nb=1\r\n[C]\r\nc=1\r\n[D]\r\nd=1\r\n");
    // An addition to a later category survives the shift.
    add("D", {{"extra", "e"}});
    w.Commands().SelectCategory(deleted);
    ui_->confirmAnswers << true;
    w.Commands().DeleteCategory();
    QCOMPARE(RowTexts(w.Lists().lvwCategory()), remaining);
    QCOMPARE(State().CategoryCount, 3);
    QCOMPARE(State().CurrentCategory, current);
    QCOMPARE(w.Lists().lvwCategory()->SelectedRow(), current);
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(State().CategoryAt(i)->Category(), remaining[i - 1]);
    const catalogue::cVbAnalyze *d = State().CategoryAt(remaining.indexOf(QStringLiteral("D")) + 1);
    if (d)
        QCOMPARE(d->Count(), 2);
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()).size(), State().Current()->Count());
    // The category now highlighted is current as if clicked: its commands are on.
    QCOMPARE(EnabledState(w).left(3), QStringLiteral("111"));
}

void tst_fMain::addProjectsThroughDialog()
{
    fMain w;
    load(w, "[A]\r\n");
    const QString a = vbp(QStringLiteral("Alpha"), QStringLiteral("Alpha.exe"));
    const QString b = vbp(QStringLiteral("Beta"), QStringLiteral("Beta.exe"));
    QList<support::FileDialogRequest> requests;
    QList<std::optional<QStringList>> answers{std::nullopt, QStringList{a},
                                              QStringList{b, dir_->filePath(QStringLiteral("typed.vbp")), a}};
    cCommonDlg::SetAnswerer([&](const support::FileDialogRequest &request) {
        requests.append(request);
        return answers.takeFirst();
    });
    w.Menus().AddProjects(); // cancelled
    QCOMPARE(requests[0].title, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄの追加"));
    QCOMPARE(requests[0].flags, 2624004u);
    QCOMPARE(requests[0].initialFolder, QDir::currentPath());
    QCOMPARE(settings::Values().LastProjectFolder, QString());
    w.Menus().AddProjects(); // one file
    QCOMPARE(settings::Values().LastProjectFolder, dir_->path());
    w.Menus().AddProjects(); // several, one of them typed and missing
    QCOMPARE(requests[2].initialFolder, dir_->path());
    // The same project twice is two entries; the second takes a name its section does not have yet.
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()),
             (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Alpha(3)")}));
    QCOMPARE(RowTexts(w.Lists().lvwProjectList(), 3),
             (QStringList{QStringLiteral("Alpha.exe"), QStringLiteral("Beta.exe"), QStringLiteral("Alpha.exe")}));
    QCOMPARE(ui_->messages.size(), 1);
    QVERIFY(ui_->messages[0].contains(QStringLiteral("typed.vbp")));
    QCOMPARE(State().Current()->Count(), 3);
}

void tst_fMain::startUpAndShutDown()
{
    const QString ini = dir_->filePath(QStringLiteral("ZARUN.ini"));
    {
        fMain w;
        w.Form_Load();
        QVERIFY(QFile::exists(ini));
        QCOMPARE(contents(ini), QByteArray());
        QCOMPARE(settings::Values().DoubleClickAction, 1);
        QCOMPARE(w.windowTitle(), QStringLiteral("ZARUN"));
        w.resize(500, 300);
        w.move(30, 40);
        w.close();
    }
    const QByteArray written = contents(ini);
    const QList<QByteArray> lines = written.split('\n');
    QCOMPARE(written.left(26), QByteArray("[Window]\r\nMAXIMIZE=False\r\n"));
    QVERIFY(written.contains("\r\nHEIGHT=") && written.contains("\r\nWIDTH=7500\r\n"));
    QVERIFY2(written.endsWith("[Project]\r\nWClick=1\r\nExeAuto=True\r\nDragDrop=True\r\nSort=True\r\n"
                              "[Main]\r\nSort=True\r\n"),
             written.constData());
    QCOMPARE(lines.size(), 14);

    // Second start: a start-up catalogue, odd values kept, written back in place.
    const QString start = catalogue("[Tools]\r\nx=y\r\n");
    QVERIFY(put(ini, "; mine\r\n[Main]\r\nStartFile=" + start.toUtf8() + "\r\n[Project]\r\nWClick=7\r\n"
                    "[Folder]\r\nData=/d\r\n"));
    {
        fMain w;
        // As the program starts: the catalogue is read on a worker and opened when it arrives.
        w.DeferStartCatalogue();
        w.Form_Load();
        QCOMPARE(settings::Values().DoubleClickAction, 7);
        QTRY_COMPARE(State().CatalogueFilePath, start);
        QCOMPARE(w.windowTitle(), QStringLiteral("ZARUN - (Tools.zrd)"));
        add("Tools", {{"added", "z"}});
        w.close();
    }
    const QByteArray again = contents(ini);
    QVERIFY2(again.startsWith("; mine\r\n[Main]\r\nStartFile=" + start.toUtf8() + "\r\nSort=True\r\n[Project]\r\nWClick=7\r\n"
                              "ExeAuto=True\r\nDragDrop=True\r\nSort=True\r\n[Folder]\r\nData=/d\r\n[Window]\r\n"),
             again.constData());
    // The addition was written when it was made; closing wrote no catalogue.
    QCOMPARE(contents(start), QByteArray("[Tools]\r\nx=y\r\nadded=z\r\n"));
}

void tst_fMain::startUpCatalogueWaitsForAnOpenDialog()
{
    // Large enough for its first category to be read alone first.
    QByteArray text = "[First]\r\na=/a.vbp\r\n[Rest]\r\n";
    for (int i = 0; i < 4000; ++i)
        text += "p" + QByteArray::number(i) + "=/src/p" + QByteArray::number(i) + "/p.vbp\r\n";
    const QString start = catalogue(text);
    QVERIFY(put(dir_->filePath(QStringLiteral("ZARUN.ini")), "[Main]\r\nStartFile=" + start.toUtf8() + "\r\n"));
    fMain w;
    QDialog dialog(&w);
    dialog.setModal(true);
    dialog.show();
    QTRY_COMPARE(QApplication::activeModalWidget(), &dialog);
    w.DeferStartCatalogue();
    w.Form_Load();
    // Neither the first category nor the whole replaces the lists under the dialog.
    platform::Workers().waitForDone();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(State().CategoryCount, 0);
    dialog.close();
    QTRY_COMPARE_WITH_TIMEOUT(State().CategoryCount, 2, 20000);
    QCOMPARE(State().CatalogueFilePath, start);
}

void tst_fMain::catalogueGivenFromOutside()
{
    // The command line's catalogue instead of the start-up one; the IDE command of the options in effect.
    const QString start = catalogue("[Tools]\r\nx=y\r\n");
    const QString given = dir_->filePath(QStringLiteral("Given.zrd"));
    QVERIFY(put(given, "[Given]\r\na=b\r\n"));
    QVERIFY(put(dir_->filePath(QStringLiteral("ZARUN.ini")),
                "[Main]\r\nStartFile=" + start.toUtf8() + "\r\n[Project]\r\nIdeCommand=wine C:\\VB6.EXE\r\n"));
    fMain w;
    w.SetCommandLineCatalogue(given);
    w.Form_Load();
    QCOMPARE(State().CatalogueFilePath, given);
    QCOMPARE(RowTexts(w.Lists().lvwCategory()), QStringList{QStringLiteral("Given")});
    QCOMPARE(mMain::VbIdePath, QStringLiteral("wine C:\\VB6.EXE"));

    // A later start hands one over while a dialog is open: it waits for the dialog to close.
    QDialog dialog(&w);
    dialog.setModal(true);
    dialog.show();
    QTRY_COMPARE(QApplication::activeModalWidget(), &dialog);
    w.OpenRequested(start);
    QCOMPARE(State().CatalogueFilePath, given);
    dialog.close();
    QTRY_COMPARE_WITH_TIMEOUT(State().CatalogueFilePath, start, 20000);
    QCOMPARE(w.windowTitle(), QStringLiteral("ZARUN - (Tools.zrd)"));

    // The catalogue shown already: the window comes to the front and nothing is read again.
    const catalogue::ProjectRecord *shown = State().Current()->Record(1);
    w.OpenRequested(start);
    QCOMPARE(State().Current()->Record(1), shown);

    const QString gone = dir_->filePath(QStringLiteral("Gone.zrd"));
    w.OpenRequested(gone);
    QCOMPARE(ui_->messages, QStringList{gone + QStringLiteral(" が存在しません。")});
    QCOMPARE(State().CatalogueFilePath, start);

    // Nor during a change's write (the loop answers meanwhile): it waits for the write to end.
    const QString other = dir_->filePath(QStringLiteral("Other.zrd"));
    QVERIFY(put(other, "[Other]\r\nc=d\r\n"));
    catalogue::HoldChangeBeingWrittenForTesting(true);
    w.OpenRequested(other);
    QCOMPARE(State().CatalogueFilePath, start);
    catalogue::HoldChangeBeingWrittenForTesting(false);
    QTRY_COMPARE_WITH_TIMEOUT(State().CatalogueFilePath, other, 20000);
    w.close();
}

void tst_fMain::maximizedAndMinimizedKeepNormalPlacement()
{
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.setGeometry(50, 60, 400, 300);
    QTRY_COMPARE(w.Placement().NormalWidth, w.frameGeometry().width() * 15);
    const QList<qint32> normal{w.Placement().NormalTop, w.Placement().NormalLeft, w.Placement().NormalHeight, w.Placement().NormalWidth};
    const QRect listBefore = w.Lists().lvwProjectList()->geometry();

    w.showMaximized();
    QTRY_VERIFY(w.isMaximized());
    QTRY_VERIFY(w.Lists().lvwProjectList()->width() > listBefore.width()); // laid out for the maximized size
    settings::Placement p = w.Placement().ForSettings();
    QVERIFY(p.Maximized);
    QCOMPARE((QList<qint32>{p.Top, p.Left, p.Height, p.Width}), normal);

    w.showNormal();
    QTRY_VERIFY(!w.isMaximized());
    w.setGeometry(50, 60, 400, 300);
    QTRY_COMPARE(w.Placement().NormalWidth, w.frameGeometry().width() * 15);
    w.showMinimized();
    QTRY_VERIFY(w.isMinimized());
    p = w.Placement().ForSettings();
    QVERIFY(!p.Maximized);
    QCOMPARE((QList<qint32>{p.Top, p.Left, p.Height, p.Width}), normal);

    // Maximized, then minimized: closed now, it is written as not maximized.
    w.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
    QTRY_VERIFY(w.isMinimized());
    p = w.Placement().ForSettings();
    QVERIFY(!p.Maximized);
    QCOMPARE((QList<qint32>{p.Top, p.Left, p.Height, p.Width}), normal);
}

void tst_fMain::placementWrittenBackAsRead_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("written"); // MAXIMIZE, TOP, LEFT, HEIGHT, WIDTH; "*" for any
    // The window is framed only once shown (the offscreen platform's frame is 2 pixels).
    QTest::newRow("first start: 8000 x 6000 outer") << QByteArray() << QStringList{"False", "*", "*", "6000", "8000"};
    QTest::newRow("twips between pixels") << QByteArray("[Window]\r\nTOP=-7\r\nLEFT=1001\r\nHEIGHT=6001\r\nWIDTH=8007\r\n")
                                          << QStringList{"False", "-7", "1001", "6001", "8007"};
    QTest::newRow("maximized") << QByteArray("[Window]\r\nMAXIMIZE=True\r\nTOP=300\r\nLEFT=450\r\nHEIGHT=4500\r\nWIDTH=6000\r\n")
                               << QStringList{"True", "300", "450", "4500", "6000"};
    QTest::newRow("malformed numbers") << QByteArray("[Window]\r\nTOP=x\r\nLEFT=12y\r\nHEIGHT=\r\nWIDTH=-\r\n")
                                       << QStringList{"False", "*", "*", "*", "*"};
}

void tst_fMain::placementWrittenBackAsRead()
{
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, written);
    const QString ini = dir_->filePath(QStringLiteral("ZARUN.ini"));
    QVERIFY(put(ini, stored));
    const QStringList keys{"MAXIMIZE", "TOP", "LEFT", "HEIGHT", "WIDTH"};
    QStringList previous;
    for (int start = 1; start <= 3; ++start) {
        {
            fMain w;
            w.Form_Load();
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTRY_COMPARE(w.isMaximized(), written[0] == "True");
            w.close();
        }
        platform::IniStore::Instance().Reset();
        QStringList values;
        for (const QString &key : keys)
            values.append(mIniFile::ReadIniString(QStringLiteral("Window"), key, QString(), ini));
        for (int k = 0; k < keys.size(); ++k)
            if (written[k] != "*")
                QCOMPARE(keys[k] + '=' + values[k], keys[k] + '=' + written[k]);
        // Each later start writes back what the one before wrote.
        if (!previous.isEmpty())
            QCOMPARE(values, previous);
        previous = values;
    }
}

void tst_fMain::restoredWindowStaysOnScreen_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QSize>("keptSize"); // outer pixels kept as stored; empty when they cannot be
    QTest::newRow("on a screen area no longer there")
        << QByteArray("[Window]\r\nTOP=-30000\r\nLEFT=90000\r\nHEIGHT=4500\r\nWIDTH=6000\r\n") << QSize(400, 300);
    QTest::newRow("hanging off the bottom right")
        << QByteArray("[Window]\r\nTOP=8000\r\nLEFT=11000\r\nHEIGHT=4500\r\nWIDTH=6000\r\n") << QSize(400, 300);
    QTest::newRow("larger than the screen")
        << QByteArray("[Window]\r\nTOP=0\r\nLEFT=0\r\nHEIGHT=90000\r\nWIDTH=120000\r\n") << QSize();
    QTest::newRow("shrunk to a sliver") << QByteArray("[Window]\r\nTOP=300\r\nLEFT=300\r\nHEIGHT=600\r\nWIDTH=900\r\n")
                                        << QSize();
    QTest::newRow("malformed size") << QByteArray("[Window]\r\nHEIGHT=-5\r\nWIDTH=0\r\n") << QSize();
}

void tst_fMain::restoredWindowStaysOnScreen()
{
    QFETCH(QByteArray, stored);
    QFETCH(QSize, keptSize);
    QVERIFY(put(dir_->filePath(QStringLiteral("ZARUN.ini")), stored));
    fMain w;
    w.Form_Load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect area = w.screen()->availableGeometry();
    QTRY_VERIFY(area.contains(w.frameGeometry()));
    QVERIFY(w.width() >= w.minimumWidth() && w.height() >= w.minimumHeight());
    QVERIFY(w.minimumWidth() >= 300 && w.minimumHeight() >= 200);
    if (keptSize.isValid())
        QCOMPARE(w.frameGeometry().size(), keptSize);
    // What is written is where the window now is.
    const settings::Placement p = w.Placement().ForSettings();
    QCOMPARE(platform::TwipsRect(p.Left, p.Top, p.Width, p.Height), w.frameGeometry());
    w.close();
}

void tst_fMain::moveClearsTheSelection()
{
    fMain w;
    load(w, "[A]\r\np1=x\r\np2=y\r\n[B]\r\n");
    w.Commands().SelectProject(1);
    // Answer the modal dialog as a user would: choose B, then OK.
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<fMove *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->cmbCategory->setCurrentIndex(dialog->cmbCategory->findText(QStringLiteral("B")));
        dialog->cmdOK_Click();
    });
    w.Menus().mnuProjectMove->trigger();
    QCOMPARE(contents(State().CatalogueFilePath), QByteArray("[A]\r\np2=y\r\n[B]\r\np1=x\r\n"));
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()), QStringList{QStringLiteral("p2")});
    QCOMPARE(State().CategoryAt(2)->ProjectName(1), QStringLiteral("p1"));
    QCOMPARE(State().CurrentProject, 0);
    QCOMPARE(w.Lists().lvwProjectList()->SelectedRow(), 0);
    QCOMPARE(EnabledState(w), QStringLiteral("1110000000"));
}

void tst_fMain::statusColumnFollowsTheFiles()
{
    constexpr qint64 base = 1700000000;
    // Each project in a folder of its own: times relative to base, -1 for no executable.
    const auto project = [&](const QString &name, qint64 form, qint64 exe) {
        const QString folder = dir_->filePath(name);
        const QString path = folder + QStringLiteral("/App.vbp");
        const bool ok = put(path, "Form=Main.frm\r\nExeName32=\"App.exe\"\r\n") && setModified(path, base)
                        && put(folder + QStringLiteral("/Main.frm"), "x")
                        && setModified(folder + QStringLiteral("/Main.frm"), base + form)
                        && (exe < 0 || (put(folder + QStringLiteral("/App.exe"), "MZ")
                                        && setModified(folder + QStringLiteral("/App.exe"), base + exe)));
        return ok ? path : QString();
    };
    const QString fresh = project(QStringLiteral("fresh"), 10, 100);
    const QString stale = project(QStringLiteral("stale"), 200, 100);
    const QString unbuilt = project(QStringLiteral("unbuilt"), 10, -1);
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    load(w, QStringLiteral("[Tools]\r\nFresh=%1\r\nStale=%2\r\nUnbuilt=%3\r\nGone=%4\r\n[Games]\r\n")
                .arg(fresh, stale, unbuilt, dir_->filePath(QStringLiteral("gone/App.vbp")))
                .toUtf8());
    constexpr int status = catalogue::ProjectListModel::StatusColumn;
    QTRY_COMPARE(RowTexts(w.Lists().lvwProjectList(), status), (QStringList{QStringLiteral("最新"), QStringLiteral("要更新"),
                                                                  QStringLiteral("未作成"), QStringLiteral("ファイルなし")}));
    // The category counts its projects, and apart from them what needs attention, beside its name;
    // its name stays as it is.
    QTRY_COMPARE(w.Lists().lvwCategory()->model()->index(0, 0).data().toString(), QStringLiteral("Tools (4)  要3"));
    QCOMPARE(RowTexts(w.Lists().lvwCategory()), (QStringList{QStringLiteral("Tools"), QStringLiteral("Games")}));
    const QModelIndex staleCell = w.Lists().lvwProjectList()->model()->index(1, status);
    QCOMPARE(staleCell.data(Qt::ToolTipRole).toString(),
             dir_->filePath(QStringLiteral("stale/Main.frm")) + QStringLiteral(" が実行ファイルより新しいため、実行ファイルの作成が必要です。"));
    QVERIFY(!ProjectStatusDelegate::IconFor(staleCell.data(catalogue::StatusRole).toInt(), w.style()).isNull());
    // The listed folders are watched: a source saved there is seen without any command.
    QTRY_VERIFY(w.WatchedFolders().contains(dir_->filePath(QStringLiteral("fresh"))));
    QVERIFY(setModified(dir_->filePath(QStringLiteral("fresh/Main.frm")), base + 300));
    QTRY_COMPARE(w.Lists().lvwProjectList()->Text(1, status), QStringLiteral("要更新"));
    QTRY_COMPARE(w.Lists().lvwCategory()->model()->index(0, 0).data().toString(), QStringLiteral("Tools (4)  要4"));
}

void tst_fMain::missingReferenceIsAStatus_data()
{
    QTest::addColumn<bool>("wine"); // the IDE command runs the IDE in the prefix
    QTest::addColumn<QStringList>("statuses");
    QTest::newRow("under Wine") << true << QStringList{QStringLiteral("未作成"), QStringLiteral("参照不足")};
    QTest::newRow("a native IDE: no reference state")
        << false << QStringList{QStringLiteral("未作成"), QStringLiteral("未作成")};
}

void tst_fMain::missingReferenceIsAStatus()
{
    QFETCH(bool, wine);
    QFETCH(QStringList, statuses);
    // A prefix that registers one control, whose file is there.
    const QString prefix = dir_->filePath(QStringLiteral("prefix"));
    QVERIFY(put(prefix + QStringLiteral("/system.reg"),
                "WINE REGISTRY Version 2\n\n[Software\\\\Classes\\\\Typelib\\\\{11111111-2222-3333-4444-555555555555}"
                "\\\\1.0\\\\0\\\\win32] 1700000000\n@=\"C:\\\\windows\\\\system32\\\\Good.ocx\"\n"));
    QVERIFY(put(prefix + QStringLiteral("/drive_c/windows/system32/Good.ocx"), "MZ"));
    const auto project = [&](const QString &name, const QByteArray &object) {
        const QString path = dir_->filePath(name + QStringLiteral("/App.vbp"));
        return put(path, "Object=" + object + "\r\nExeName32=\"App.exe\"\r\n") ? path : QString();
    };
    const QString good = project(QStringLiteral("good"), "{11111111-2222-3333-4444-555555555555}#1.0#0; Good.ocx");
    const QString bad = project(QStringLiteral("bad"), "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX");
    mMain::VbIdePath = wine ? QStringLiteral("env WINEPREFIX=") + prefix + QStringLiteral(" wine C:\\VB98\\VB6.EXE")
                            : platform::JoinCommandLine({QStringLiteral(ZARUN_FAKE_IDE), QStringLiteral("%f")});
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    load(w, QStringLiteral("[Tools]\r\nGood=%1\r\nBad=%2\r\n").arg(good, bad).toUtf8());
    constexpr int status = catalogue::ProjectListModel::StatusColumn;
    QTRY_COMPARE(RowTexts(w.Lists().lvwProjectList(), status), statuses);
    const QString tip = w.Lists().lvwProjectList()->model()->index(1, status).data(Qt::ToolTipRole).toString();
    QCOMPARE(tip.contains(QStringLiteral("MSCOMCTL.OCX (未登録)")), wine);
    // Counted with the projects that need attention.
    QCOMPARE(w.Lists().lvwCategory()->model()->index(0, 0).data().toString(), QStringLiteral("Tools (2)  要2"));
}

void tst_fMain::filteredRowsActOnTheirEntries_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row"); // clicked in the filtered list
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<int>("category"); // current afterwards
    QTest::newRow("one category, narrowed") << false << QStringLiteral("gam") << 1 << QStringLiteral("gamma") << 1;
    QTest::newRow("full-width letters") << false << QStringLiteral("ＢＥＴＡ") << 1 << QStringLiteral("beta") << 1;
    QTest::newRow("every category: the row's category becomes current")
        << true << QStringLiteral("beta") << 2 << QStringLiteral("beta2") << 2;
    QTest::newRow("every category, no text") << true << QString() << 4 << QStringLiteral("beta2") << 2;
}

void tst_fMain::filteredRowsActOnTheirEntries()
{
    QFETCH(bool, all);
    QFETCH(QString, text);
    QFETCH(int, row);
    QFETCH(QString, deleted);
    QFETCH(int, category);
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QByteArray file("[A]\r\nalpha=/a/alpha.vbp\r\nbeta=/a/beta.vbp\r\ngamma=/a/gamma.vbp\r\n"
                          "[B]\r\nbeta2=/b/beta2.vbp\r\ndelta=/b/delta.vbp\r\n");
    load(w, file);
    w.Lists().chkAllCategories()->setChecked(all);
    w.Lists().txtFilter()->insert(text); // as an input method commits it

    const QRect rect = w.Lists().lvwProjectList()->visualRect(w.Lists().lvwProjectList()->model()->index(row - 1, 0));
    QTest::mouseClick(w.Lists().lvwProjectList()->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(State().CurrentCategory, category);
    QCOMPARE(w.Lists().lvwCategory()->SelectedRow(), category);
    QCOMPARE(State().Current()->ProjectName(State().CurrentProject), deleted);
    QCOMPARE(w.Lists().lvwProjectList()->SelectedRow(), row);
    QCOMPARE(EnabledState(w), QStringLiteral("1111111111"));
    ui_->confirmAnswers << true;
    QTest::keyClick(w.Lists().lvwProjectList(), Qt::Key_Delete);
    QCOMPARE(ui_->confirmations, QStringList{QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ削除|ﾌﾟﾛｼﾞｪｸﾄ　[") + deleted + QStringLiteral("]　を削除しますか?")});
    QByteArray left = file;
    left.replace(QByteArray(deleted.toLatin1() + "=/" + (category == 1 ? "a/" : "b/") + deleted.toLatin1() + ".vbp\r\n"), "");
    QCOMPARE(contents(State().CatalogueFilePath), left);
}

void tst_fMain::filterBoxKeys_data()
{
    QTest::addColumn<int>("atOnce");
    QTest::newRow("a short list narrowed on the spot") << catalogue::ProjectFilterModel::kRowsNarrowedAtOnce;
    QTest::newRow("a long list narrowed on a worker") << 0;
}

void tst_fMain::filterBoxKeys()
{
    QFETCH(int, atOnce);
    fMain w;
    w.FilterModel().SetRowsNarrowedAtOnce(atOnce);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    load(w, "[A]\r\nalpha=/a/alpha.vbp\r\nbeta=/a/beta.vbp\r\n");
    w.Lists().lvwProjectList()->setFocus();
    w.Commands().SelectProject(2);
    // Ctrl+F goes to the box; a text that hides the current project leaves no project current.
    QTest::keySequence(&w, QKeySequence::Find);
    QTRY_VERIFY(w.Lists().txtFilter()->hasFocus());
    QTest::keyClicks(w.Lists().txtFilter(), QStringLiteral("ALP"));
    QTRY_COMPARE(RowTexts(w.Lists().lvwProjectList()), QStringList{QStringLiteral("alpha")});
    QTRY_COMPARE(State().CurrentProject, 0);
    QCOMPARE(EnabledState(w).mid(3), QStringLiteral("0000000"));
    // Down goes to the rows found, the first chosen.
    QTest::keyClick(w.Lists().txtFilter(), Qt::Key_Down);
    QTRY_VERIFY(w.Lists().lvwProjectList()->hasFocus());
    QCOMPARE(State().CurrentProject, 1);
    QCOMPARE(w.Lists().lvwProjectList()->SelectedRow(), 1);
    // Esc in the box empties it: every row again, the current one still highlighted.
    w.Lists().txtFilter()->setFocus();
    QTest::keyClick(w.Lists().txtFilter(), Qt::Key_Escape);
    QCOMPARE(w.Lists().txtFilter()->text(), QString());
    QCOMPARE(RowTexts(w.Lists().lvwProjectList()), (QStringList{QStringLiteral("alpha"), QStringLiteral("beta")}));
    QCOMPARE(w.Lists().lvwProjectList()->SelectedRow(), 1);
    QCOMPARE(State().CurrentProject, 1);
}

void tst_fMain::buildCategoryFromTheMenu()
{
    mMain::VbIdePath = platform::JoinCommandLine({QStringLiteral(ZARUN_FAKE_IDE), QStringLiteral("%f")});
    qputenv("ZARUN_FAKE_IDE_FAIL", "broken");
    const QString fresh = vbp(QStringLiteral("fresh"), QStringLiteral("fresh.exe"));
    QVERIFY(put(dir_->filePath(QStringLiteral("fresh.exe")), "MZ") && setModified(fresh, 1700000000));
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    load(w, QStringLiteral("[Tools]\r\nOk=%1\r\nBroken=%2\r\nFresh=%3\r\n")
                .arg(vbp(QStringLiteral("ok"), QStringLiteral("ok.exe")), vbp(QStringLiteral("broken"), QStringLiteral("broken.exe")), fresh)
                .toUtf8());
    w.Commands().SelectCategory(1);
    BuildCommands &builds = w.Builds();
    Q_EMIT w.Menus().mnuCategory->aboutToShow();
    builds.mnuCtgBuild->trigger();
    // A window of its own that leaves the main window usable; one run at a time.
    QVERIFY(builds.ProgressWindow() && builds.ProgressWindow()->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    Q_EMIT w.Menus().mnuCategory->aboutToShow();
    QVERIFY(!builds.mnuCtgBuild->isEnabled());

    QTRY_COMPARE_WITH_TIMEOUT(ui_->messages.size(), 1, 60000);
    qunsetenv("ZARUN_FAKE_IDE_FAIL");
    QCOMPARE(ui_->messages.first(), QStringLiteral("ｶﾃｺﾞﾘｰ　[Tools]　の実行ﾌｧｲﾙ作成が終わりました。\n\n作成: 1\n失敗: 1\nｽｷｯﾌﾟ: 1"));
    QVERIFY(!builds.ProgressWindow());
    constexpr int status = catalogue::ProjectListModel::StatusColumn;
    QTRY_COMPARE(RowTexts(w.Lists().lvwProjectList(), status),
                 (QStringList{QStringLiteral("最新"), QStringLiteral("作成失敗"), QStringLiteral("最新")}));
    // The failed row offers its log; a row never built here has none.
    w.Commands().SelectProject(2);
    Q_EMIT w.Menus().mnuProject->aboutToShow();
    QVERIFY(builds.mnuProjectBuildLog->isEnabled());
    QVERIFY(contents(tooling::BuildLogOf(State().Current()->ProjectFile(2))).contains("Compile Error"));
    w.Commands().SelectProject(3);
    Q_EMIT w.Menus().mnuProject->aboutToShow();
    QVERIFY(!builds.mnuProjectBuildLog->isEnabled());
    Q_EMIT w.Menus().mnuCategory->aboutToShow();
    QVERIFY(builds.mnuCtgBuild->isEnabled());
}

void tst_fMain::singleBuildOffersWhatItDependsOn_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes: the DLL first, then the project, in a run") << true;
    QTest::newRow("no: the project alone") << false;
}

void tst_fMain::singleBuildOffersWhatItDependsOn()
{
    QFETCH(bool, answer);
    mMain::VbIdePath = platform::JoinCommandLine({QStringLiteral(ZARUN_FAKE_IDE), QStringLiteral("%f")});
    const QString release = dir_->filePath(QStringLiteral("release"));
    qputenv("ZARUN_FAKE_IDE_HOLD", QFile::encodeName(release));
    const QString app = dir_->filePath(QStringLiteral("app.vbp"));
    QVERIFY(put(app, "Type=Exe\r\nReference=*\\G{00000000-0000-0000-0000-00000000000A}#1.0#0#lib.dll#Lib\r\n"
                     "ExeName32=\"app.exe\"\r\n"));
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    load(w, QStringLiteral("[Apps]\r\nApp=%1\r\n[Libs]\r\nLib=%2\r\n")
                .arg(app, vbp(QStringLiteral("lib"), QStringLiteral("lib.dll")))
                .toUtf8());
    // What the DLL makes is known once the reader has looked at it.
    QTRY_VERIFY(!State().CategoryAt(2)->KnownProjectExe(1).isEmpty());
    w.Commands().SelectCategory(1);
    w.Commands().SelectProject(1);
    ui_->askAnswers.enqueue(answer);
    w.Menus().mnuProjectMakeExe->trigger();
    QCOMPARE(ui_->questions, QStringList{QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[App]　が参照する次のﾌﾟﾛｼﾞｪｸﾄは、実行ﾌｧｲﾙの作成が"
                                                        "必要です。\n\n　Lib [Libs]\n\n先に作成しますか?")});
    if (answer) {
        QVERIFY(w.Builds().ProgressWindow());
        QTRY_COMPARE(w.Builds().ProgressWindow()->lblOrder->text(), QStringLiteral("作成順:\n1. Lib [Libs]\n2. App"));
    }
    QVERIFY(put(release, ""));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dir_->filePath(QStringLiteral("app.exe"))), 30000);
    if (answer) {
        QTRY_COMPARE_WITH_TIMEOUT(ui_->messages.size(), 1, 30000);
        QCOMPARE(ui_->messages.first(),
                 QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[App]　と参照先の実行ﾌｧｲﾙ作成が終わりました。\n\n作成: 2\n失敗: 0\nｽｷｯﾌﾟ: 0"));
    }
    QCOMPARE(QFileInfo::exists(dir_->filePath(QStringLiteral("lib.dll"))), answer);
    QTRY_COMPARE_WITH_TIMEOUT(tooling::IdeBuild::Running(), 0, 30000);
    qunsetenv("ZARUN_FAKE_IDE_HOLD");
}

void tst_fMain::closingTheWindowEndsTheRun()
{
    mMain::VbIdePath = platform::JoinCommandLine({QStringLiteral(ZARUN_FAKE_IDE), QStringLiteral("%f")});
    const QString release = dir_->filePath(QStringLiteral("release"));
    qputenv("ZARUN_FAKE_IDE_HOLD", QFile::encodeName(release));
    auto w = std::make_unique<fMain>();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    load(*w, QStringLiteral("[Tools]\r\nA=%1\r\nB=%2\r\n")
                 .arg(vbp(QStringLiteral("a"), QStringLiteral("a.exe")), vbp(QStringLiteral("b"), QStringLiteral("b.exe")))
                 .toUtf8());
    w->Commands().SelectCategory(1);
    Q_EMIT w->Menus().mnuCategory->aboutToShow();
    w->Builds().mnuCtgBuild->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(release + QStringLiteral(".started")), 30000);
    QTRY_COMPARE(w->Builds().ProgressWindow()->lblCount->text(), QStringLiteral("1 / 2"));

    // Closed without a question: nothing more is built, and the IDE at work ends with what it
    // started, rather than write on after the program has gone.
    const QStringList pids = QString::fromLatin1(contents(release + QStringLiteral(".started"))).simplified().split(u' ');
    w->close();
    QVERIFY(!w->Builds().ProgressWindow());
    QCOMPARE(tooling::IdeBuild::Running(), 0);
    // Gone, or a zombie nobody has reaped yet.
    const auto ended = [](const QString &pid) {
        const QByteArray status = contents(QStringLiteral("/proc/") + pid + QStringLiteral("/status"));
        return status == "<missing>" || status.contains("\nState:\tZ");
    };
    QCOMPARE(pids.size(), 2);
    QTRY_VERIFY(ended(pids[0]) && ended(pids[1]));
    QVERIFY(put(release, ""));
    qunsetenv("ZARUN_FAKE_IDE_HOLD");
    QVERIFY(!QFileInfo::exists(dir_->filePath(QStringLiteral("a.exe"))));
    QVERIFY(!QFileInfo::exists(dir_->filePath(QStringLiteral("b.exe"))));
    QVERIFY(ui_->messages.isEmpty());
}

QTEST_MAIN(tst_fMain)
#include "tst_fMain.moc"

void tst_fMain::listWidthsKept_data()
{
    QTest::addColumn<QByteArray>("column"); // lines of the Column section
    // The category list, the project list's columns 1 to 4; -1: fitted to what the column shows
    // (columnsFitTheirTexts).
    QTest::addColumn<QList<int>>("pixels");
    const QList<int> defaults{100, -1, -1, -1, -1};
    QTest::newRow("none stored") << QByteArray() << defaults;
    QTest::newRow("stored") << QByteArray("[Column]\r\nCategoryList=2400\r\nProjectName=2250\r\nPath=4500\r\n")
                            << QList<int>{160, 150, -1, 300, -1};
    QTest::newRow("malformed") << QByteArray("[Column]\r\nCategoryList=-1500\r\nProjectName=abc\r\n"
                                             "FileName=99999999999\r\nPath=0\r\nExeName=2000px\r\n")
                               << defaults;
}

void tst_fMain::listWidthsKept()
{
    QFETCH(QByteArray, column);
    QFETCH(QList<int>, pixels);
    // As the program writes it: a start and quit that change nothing write it back as it is.
    const QByteArray stored = "[Window]\r\nMAXIMIZE=False\r\nTOP=300\r\nLEFT=450\r\nHEIGHT=6000\r\nWIDTH=8000\r\n"
                              "[Project]\r\nWClick=1\r\nExeAuto=True\r\nDragDrop=True\r\nSort=True\r\n"
                              "[Main]\r\nSort=True\r\n" + column;
    const QString ini = dir_->filePath(QStringLiteral("ZARUN.ini"));
    QVERIFY(put(ini, stored));
    {
        fMain w;
        w.Form_Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto shown = [&w, &pixels] {
            QList<int> widths{w.Lists().lvwCategory()->width()};
            const ReportListView *list = w.Lists().lvwProjectList();
            for (int c = 0; c < 4; ++c)
                widths.append(pixels[c + 1] < 0 ? -1 : list->columnWidth(c));
            return widths;
        };
        QTRY_COMPARE(shown(), pixels);
        w.close();
    }
    QCOMPARE(contents(ini), stored);
}

void tst_fMain::listWidthsChangedByUser()
{
    constexpr int path = catalogue::ProjectListModel::FolderColumn;
    constexpr int status = catalogue::ProjectListModel::StatusColumn;
    const QString ini = dir_->filePath(QStringLiteral("ZARUN.ini"));
    {
        fMain w;
        w.Form_Load();
        load(w, "[Tools]\r\na=b\r\n");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto drag = [&w](int by) {
            const QPoint grip(3, 100);
            QTest::mousePress(w.Lists().splLists(), Qt::LeftButton, {}, grip);
            QTest::mouseMove(w.Lists().splLists(), grip + QPoint(by, 0));
            // The strip has followed the pointer: let go where it was taken.
            QTest::mouseRelease(w.Lists().splLists(), Qt::LeftButton, {}, grip);
        };
        // Far to the left: the list keeps 40 pixels (600 twips). Then to 150.
        drag(-500);
        QCOMPARE(w.Lists().lvwCategory()->width(), 40);
        drag(110);
        QCOMPARE(w.Lists().lvwCategory()->width(), 150);
        QCOMPARE(w.Lists().lvwProjectList()->x(), 6 + 150 + 7);
        w.Lists().lvwProjectList()->header()->resizeSection(path, 250);
        // With every category listed the status column has a width of its own; the category column is last.
        w.Lists().chkAllCategories()->setChecked(true);
        // Not set by the user: as wide as its longest word.
        QTRY_VERIFY(w.Lists().lvwProjectList()->columnWidth(status)
                    >= w.Lists().lvwProjectList()->fontMetrics().horizontalAdvance(QStringLiteral("ソースなし")));
        w.Lists().lvwProjectList()->header()->resizeSection(status, 120);
        w.Lists().lvwProjectList()->header()->resizeSection(catalogue::ProjectListModel::CategoryColumn, 400);
        w.Lists().chkAllCategories()->setChecked(false);
        // The last column takes the free width: no width of its own to keep.
        w.Lists().lvwProjectList()->header()->resizeSection(status, 300);
        w.close();
    }
    const QByteArray written = contents(ini);
    QVERIFY2(written.endsWith("[Main]\r\nSort=True\r\n[Column]\r\nCategoryList=2250\r\nPath=3750\r\nStatus=1800\r\n"),
             written.constData());

    fMain w;
    w.Form_Load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(w.Lists().lvwCategory()->width(), 150);
    QCOMPARE(w.Lists().lvwProjectList()->columnWidth(path), 250);
    w.Lists().chkAllCategories()->setChecked(true);
    QCOMPARE(w.Lists().lvwProjectList()->columnWidth(status), 120);
}

void tst_fMain::folderCutInTheMiddle_data()
{
    QTest::addColumn<bool>("all");
    QTest::newRow("one category") << false;
    QTest::newRow("every category") << true;
}

void tst_fMain::folderCutInTheMiddle()
{
    QFETCH(bool, all);
    // The delegate as the view paints with it: what it makes of a cell's option.
    struct Probe : ProjectStatusDelegate {
        Probe() : ProjectStatusDelegate(catalogue::ProjectListModel::StatusColumn) {}
        Qt::TextElideMode ElideOf(const QModelIndex &index) const
        {
            QStyleOptionViewItem option;
            option.textElideMode = Qt::ElideRight;
            initStyleOption(&option, index);
            return option.textElideMode;
        }
    } probe;
    fMain w;
    load(w, "[A]\r\np1=/home/user/projects/a/long/path/App.vbp\r\n");
    w.Lists().chkAllCategories()->setChecked(all);
    const QAbstractItemModel *model = w.Lists().lvwProjectList()->model();
    QTRY_COMPARE(model->rowCount(), 1);
    using M = catalogue::ProjectListModel;
    QCOMPARE(probe.ElideOf(model->index(0, M::FolderColumn)), Qt::ElideMiddle);
    QCOMPARE(probe.ElideOf(model->index(0, M::NameColumn)), Qt::ElideRight);
    QCOMPARE(probe.ElideOf(model->index(0, M::FileNameColumn)), Qt::ElideRight);
}

void tst_fMain::categoryListFitsItsNames()
{
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(900, 500);
    const QString name = QStringLiteral("業務システムとその周辺");
    load(w, Cp932(QStringLiteral("[%1]\r\n[B]\r\n").arg(name)));
    ReportListView *list = w.Lists().lvwCategory();
    const int needed = list->sizeHintForIndex(list->model()->index(0, 0)).width();
    // Wider than the usual 100 pixels, the name and its count whole, and not taken for the user's width.
    QTRY_VERIFY(list->viewport()->width() >= needed);
    QVERIFY(list->width() > 100 && list->width() <= 900 / 3);
    QVERIFY(!w.Lists().Widths().Changed()[size_t(settings::ListWidth::CategoryList)]);
    // The short one renamed longer: its row is measured again.
    catalogue::State().CategoryAt(2)->SetCategoryName(name + name.left(4));
    QTRY_VERIFY(list->viewport()->width() >= list->sizeHintForIndex(list->model()->index(1, 0)).width());
    QVERIFY(list->viewport()->width() > needed);
}

void tst_fMain::categoryMarkHasItsRoomBeforeItComes()
{
    // The marks come in as the projects are looked at: the list must not widen for them then.
    QStandardItemModel model;
    for (const QString &text : {QStringLiteral("業務 (120)"), QStringLiteral("業務 (120)  要3"), QStringLiteral("業務 (120)  要120")}) {
        auto *item = new QStandardItem(text);
        item->setData(120, catalogue::CountRole);
        model.appendRow(item);
    }
    ReportListView list;
    list.setModel(&model);
    list.setItemDelegate(new CategoryCountDelegate(&list));
    const int before = list.sizeHintForIndex(model.index(0, 0)).width();
    QCOMPARE(list.sizeHintForIndex(model.index(1, 0)).width(), before);
    QCOMPARE(list.sizeHintForIndex(model.index(2, 0)).width(), before);
    QStyleOptionViewItem option;
    option.initFrom(&list);
    QVERIFY(before > QStyledItemDelegate().sizeHint(option, model.index(2, 0)).width());
}

void tst_fMain::rowsFirstPaintWithTheirScrollBar()
{
    // Rows that need a scroll bar are first painted with it, not at a width about to change.
    fMain w;
    w.resize(900, 400);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ReportListView *list = w.Lists().lvwProjectList();
    struct FirstPaint : QObject {
        ReportListView *list = nullptr;
        std::optional<bool> bar; // at the first paint with rows
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && !bar && list->model()->rowCount() > 0)
                bar = list->verticalScrollBar()->isVisible();
            return false;
        }
    } probe;
    probe.list = list;
    list->viewport()->installEventFilter(&probe);
    QByteArray text = "[A]\r\n";
    for (int i = 0; i < 80; ++i)
        text += "p" + QByteArray::number(i) + "=/src/p" + QByteArray::number(i) + ".vbp\r\n";
    load(w, text);
    QTRY_VERIFY(probe.bar.has_value());
    QVERIFY(*probe.bar);
}

void tst_fMain::categoryListScrollsOnlyWhenNeeded_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("toolTip"); // "" for none
    QTest::newRow("fits") << QStringLiteral("Tools") << QString();
    // Cut short, with the count of projects that need attention: whole in the tooltip, above what the count means.
    QTest::newRow("cut short, with a count")
        << QStringLiteral("ユーティリティとサンプル集")
        << QStringLiteral("ユーティリティとサンプル集 (1)  要1\n"
                          "プロジェクト 1 件のうち、実行ファイルの作成が必要か、ファイルが見つからないものが 1 件あります (要1)。");
}

void tst_fMain::categoryListScrollsOnlyWhenNeeded()
{
    QFETCH(QString, name);
    QFETCH(QString, toolTip);
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString gone = dir_->filePath(QStringLiteral("gone/App.vbp"));
    load(w, Cp932(QStringLiteral("[%1]\r\n%2\r\n[Games]\r\n").arg(name, toolTip.isEmpty() ? QString() : "App=" + gone)));
    ReportListView *list = w.Lists().lvwCategory();
    const QModelIndex first = list->model()->index(0, 0);
    if (!toolTip.isEmpty())
        QTRY_COMPARE(first.data().toString(), name + QStringLiteral(" (1)  要1"));
    // The one column is as wide as the list: nothing to scroll sideways, however long the name.
    QTRY_COMPARE(list->columnWidth(0), list->viewport()->width());
    QVERIFY(!list->horizontalScrollBar()->isVisible());

    const QPoint at = list->visualRect(first).center();
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &help);
    if (toolTip.isEmpty()) {
        QVERIFY(!QToolTip::isVisible());
    } else {
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), toolTip);
    }
    QToolTip::hideText();
}

void tst_fMain::columnsFitTheirTexts_data()
{
    QTest::addColumn<QByteArray>("catalogue");
    QTest::addColumn<bool>("all");
    QTest::addColumn<int>("width"); // of the window; 0: as at first start
    QTest::newRow("first start") << QByteArray() << false << 0;
    QTest::newRow("short names") << QByteArray("[A]\r\nCalc=/p/Calc.vbp\r\n") << false << 0;
    QTest::newRow("long name and path")
        << Cp932(QStringLiteral("[A]\r\nテキスト比較ツール（差分表示と結合）=/home/user/projects/業務システム/テキスト比較/"
                                "ソース一式/最新版/TextCompare.vbp\r\n"))
        << false << 1000;
    QTest::newRow("every category") << QByteArray("[A]\r\nCalc=/p/Calc.vbp\r\n[Tools]\r\nEdit=/q/Edit.vbp\r\n") << true
                                    << 1000;
    QTest::newRow("every category, first start size")
        << QByteArray("[A]\r\nCalc=/p/Calc.vbp\r\n[Tools]\r\nEdit=/q/Edit.vbp\r\n") << true << 0;
}

void tst_fMain::columnsFitTheirTexts()
{
    QFETCH(QByteArray, catalogue);
    QFETCH(bool, all);
    QFETCH(int, width);
    using M = catalogue::ProjectListModel;
    fMain w;
    w.Form_Load();
    if (!catalogue.isEmpty())
        load(w, catalogue);
    w.Lists().chkAllCategories()->setChecked(all);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ReportListView *list = w.Lists().lvwProjectList();
    if (width > 0) {
        w.resize(width, 600);
        QTRY_VERIFY(list->viewport()->width() > width / 2);
    }
    const QAbstractItemModel *model = list->model();
    const auto total = [&] {
        int sum = 0;
        for (int c = 0; c < model->columnCount(); ++c)
            sum += list->columnWidth(c);
        return sum;
    };
    // The folder takes what the others leave; every column in view, nothing to scroll sideways.
    const int available = list->viewport()->width();
    if (width > 0)
        QTRY_VERIFY(list->columnWidth(M::FolderColumn) > available / 4);
    QTRY_COMPARE(total(), available);
    QTRY_VERIFY(!list->horizontalScrollBar()->isVisible());
    // The status as wide as its longest word; name and file their texts, within their shares.
    QVERIFY(list->columnWidth(M::StatusColumn) >= list->fontMetrics().horizontalAdvance(QStringLiteral("ソースなし")));
    for (int row = 0; row < model->rowCount(); ++row)
        for (int c : {int(M::NameColumn), int(M::FileNameColumn)}) {
            const int needed = list->sizeHintForIndex(model->index(row, c)).width();
            QVERIFY2(list->columnWidth(c) >= qMin(needed, available / 6),
                     qPrintable(QStringLiteral("column %1: %2 of %3").arg(c).arg(list->columnWidth(c)).arg(needed)));
        }
    // None of this is the user's: nothing to write back.
    QCOMPARE(w.Lists().Widths().Changed(), settings::ListWidths());
}

void tst_fMain::emptyListSaysWhatToDo_data()
{
    QTest::addColumn<QByteArray>("catalogue");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("says"); // a part of the text; "" for none
    QTest::newRow("no catalogue") << QByteArray() << QString() << QStringLiteral("ﾃﾞｰﾀ → 開く");
    QTest::newRow("empty category") << QByteArray("[A]\r\n") << QString() << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ → 追加");
    QTest::newRow("nothing found") << QByteArray("[A]\r\np=x\r\n") << QStringLiteral("zzz")
                                   << QStringLiteral("「zzz」に合うプロジェクトはありません。");
    QTest::newRow("rows shown") << QByteArray("[A]\r\np=x\r\n") << QString() << QString();
}

void tst_fMain::emptyListSaysWhatToDo()
{
    QFETCH(QByteArray, catalogue);
    QFETCH(QString, filter);
    QFETCH(QString, says);
    fMain w;
    w.Form_Load();
    if (!catalogue.isEmpty())
        load(w, catalogue);
    w.Lists().txtFilter()->setText(filter);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ReportListView *list = w.Lists().lvwProjectList();
    QTRY_COMPARE(list->RowCount() == 0, !says.isEmpty());
    if (says.isEmpty())
        return;
    QVERIFY2(list->EmptyText().contains(says), qPrintable(list->EmptyText()));
    // Painted in the list, in a colour that reads on it.
    QImage shot(list->viewport()->size(), QImage::Format_RGB32);
    list->viewport()->render(&shot);
    const QColor base = list->palette().color(QPalette::Base);
    int inked = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            inked += support::ContrastRatio(shot.pixelColor(x, y), base) >= 3.0;
    QVERIFY(inked > 50);
}

void tst_fMain::hintsReadOnEveryScheme_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::newRow("default") << QStringLiteral("default");
    QTest::newRow("dark") << QStringLiteral("dark");
    QTest::newRow("mid grey") << QStringLiteral("mid grey");
}

void tst_fMain::hintsReadOnEveryScheme()
{
    QFETCH(QString, scheme);
    const SchemeScope scope(scheme);
    fMain w;
    // Also when the scheme changes under a shown window.
    {
        const SchemeScope other(scheme == QLatin1String("dark") ? QStringLiteral("default") : QStringLiteral("dark"));
    }
    const QLineEdit *filter = w.Lists().txtFilter();
    QVERIFY(support::ContrastRatio(filter->palette().color(QPalette::PlaceholderText),
                                   filter->palette().color(QPalette::Base))
            >= support::kReadableContrast);
    const QPalette list = w.Lists().lvwProjectList()->palette();
    QVERIFY(support::ContrastRatio(ReportListView::HintColour(list), list.color(QPalette::Base)) >= support::kReadableContrast);
    const QPalette categories = w.Lists().lvwCategory()->palette();
    QVERIFY(support::ContrastRatio(CategoryCountDelegate::MarkColour(categories), categories.color(QPalette::Base))
            >= support::kReadableContrast);
}

void tst_fMain::moveInEveryCategoryKeepsTheCategory_data()
{
    QTest::addColumn<QString>("to");
    QTest::newRow("to a third category") << QStringLiteral("C");
    QTest::newRow("to the one selected before") << QStringLiteral("A");
}

void tst_fMain::moveInEveryCategoryKeepsTheCategory()
{
    QFETCH(QString, to);
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    load(w, "[A]\r\na1=x\r\n[B]\r\nb1=y\r\nb2=z\r\n[C]\r\n");
    w.Commands().SelectCategory(1);
    w.Lists().chkAllCategories()->setChecked(true);
    ReportListView *list = w.Lists().lvwProjectList();
    QTRY_COMPARE(list->RowCount(), 3);
    // b1 chosen in the list of every category: B is current.
    const QModelIndex b1 = list->model()->index(1, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(b1).center());
    QCOMPARE(State().CurrentCategory, 2);
    QTimer::singleShot(0, [to] {
        auto *dialog = qobject_cast<fMove *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->cmbCategory->setCurrentIndex(dialog->cmbCategory->findText(to));
        dialog->cmdOK_Click();
    });
    w.Menus().mnuProjectMove->trigger();
    QCOMPARE(State().CategoryAt(to == QLatin1String("A") ? 1 : 3)->Count(), to == QLatin1String("A") ? 2 : 1);
    QCoreApplication::processEvents();
    // The category the project came from stays current, and highlighted.
    QCOMPARE(State().CurrentCategory, 2);
    QCOMPARE(w.Lists().lvwCategory()->SelectedRow(), 2);
    QCOMPARE(State().CurrentProject, 0);
}

void tst_fMain::unmaximizedWindowStaysOnScreen_data()
{
    QTest::addColumn<QRect>("normal"); // the normal place, relative to the available area's corner
    QTest::newRow("beyond the bottom right") << QRect(2000, 1500, 500, 400);
    QTest::newRow("above and left") << QRect(-3000, -2000, 500, 400);
    QTest::newRow("larger than the screen") << QRect(0, 0, 5000, 4000);
    QTest::newRow("inside") << QRect(20, 30, 500, 400);
}

void tst_fMain::unmaximizedWindowStaysOnScreen()
{
    QFETCH(QRect, normal);
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect area = w.screen()->availableGeometry();
    // A normal place on a screen area that has gone while the window was maximized.
    w.setGeometry(normal.translated(area.topLeft()));
    w.showMaximized();
    QTRY_VERIFY(w.isMaximized());
    w.showNormal();
    QTRY_VERIFY(!w.isMaximized());
    QTRY_VERIFY2(area.contains(w.frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                  .arg(w.frameGeometry().x())
                                                                  .arg(w.frameGeometry().y())
                                                                  .arg(w.frameGeometry().width())
                                                                  .arg(w.frameGeometry().height())));
    if (area.contains(normal.translated(area.topLeft())))
        QCOMPARE(w.geometry(), normal.translated(area.topLeft()));
}

void tst_fMain::oneIdeDuringARun_data()
{
    QTest::addColumn<QString>("during"); // what the user does while the run's first IDE is at work
    QTest::addColumn<QString>("summary"); // the start of the message at the end
    QTest::newRow("a project added, built when added") << QStringLiteral("add") << QStringLiteral("ｶﾃｺﾞﾘｰ　[Tools]　の実行ﾌｧｲﾙ作成が終わりました。");
    QTest::newRow("the category deleted") << QStringLiteral("delete") << QStringLiteral("ｶﾃｺﾞﾘｰ　[Tools]　の実行ﾌｧｲﾙ作成を中止しました。");
    QTest::newRow("a new catalogue") << QStringLiteral("new") << QStringLiteral("ｶﾃｺﾞﾘｰ　[Tools]　の実行ﾌｧｲﾙ作成を中止しました。");
}

void tst_fMain::oneIdeDuringARun()
{
    QFETCH(QString, during);
    QFETCH(QString, summary);
    mMain::VbIdePath = platform::JoinCommandLine({QStringLiteral(ZARUN_FAKE_IDE), QStringLiteral("%f")});
    const QString release = dir_->filePath(QStringLiteral("release"));
    qputenv("ZARUN_FAKE_IDE_HOLD", QFile::encodeName(release));
    const auto unhold = qScopeGuard([&release] {
        put(release, "");
        qunsetenv("ZARUN_FAKE_IDE_HOLD");
    });
    fMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    load(w, QStringLiteral("[Tools]\r\nA=%1\r\nB=%2\r\n")
                .arg(vbp(QStringLiteral("a"), QStringLiteral("a.exe")), vbp(QStringLiteral("b"), QStringLiteral("b.exe")))
                .toUtf8());
    w.Commands().SelectCategory(1);
    Q_EMIT w.Menus().mnuCategory->aboutToShow();
    w.Builds().mnuCtgBuild->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(release + QStringLiteral(".started")), 30000);
    QCOMPARE(tooling::IdeBuild::Running(), 1);
    if (during == QLatin1String("add")) {
        // Built when added, as the options ask: it joins the run rather than start a second IDE.
        settings::Values().AutoMakeExe = true;
        w.Commands().AddProjectFiles({vbp(QStringLiteral("c"), QStringLiteral("c.exe"))}, dir_->path());
        QCOMPARE(State().Current()->Count(), 3);
        QCOMPARE(tooling::IdeBuild::Running(), 1);
    } else {
        // The IDE of a project that has gone stops; nothing more is built.
        if (during == QLatin1String("new")) {
            w.Commands().NewCatalogue();
        } else {
            ui_->confirmAnswers.enqueue(true);
            w.Commands().DeleteCategory();
        }
        QCOMPARE(State().CategoryCount, 0);
        QTRY_COMPARE(tooling::IdeBuild::Running(), 0);
    }
    QVERIFY(put(release, ""));
    QTRY_COMPARE_WITH_TIMEOUT(ui_->messages.size(), 1, 60000);
    QVERIFY2(ui_->messages.first().startsWith(summary), qPrintable(ui_->messages.first()));
    if (during == QLatin1String("add"))
        QVERIFY2(ui_->messages.first().contains(QStringLiteral("作成: 3")), qPrintable(ui_->messages.first()));
}
