#include "support/ui/cCommonDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace support;

namespace {

const QChar kNul(u'\0');

// Answers every dialog with the given paths (or Cancel) and keeps the requests.
struct ScriptedAnswers {
    QList<FileDialogRequest> requests;
    std::optional<QStringList> answer;

    ScriptedAnswers()
    {
        cCommonDlg::SetAnswerer([this](const FileDialogRequest &request) {
            requests.append(request);
            return answer;
        });
    }
    ~ScriptedAnswers() { cCommonDlg::ResetAnswerer(); }
};

// A safety net only: no test may hang on a dialog left open.
void CloseDialogsLeftOpen(QTimer &guard)
{
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        while (QWidget *w = QApplication::activeModalWidget())
            w->close();
    });
    guard.start(10000);
}

} // namespace

class tst_cCommonDlg : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void defaults();
    void filterProperty();
    void requestCarriesTheSetup();
    void proposedNameCut();
    void choose_data();
    void choose();
    void save();
    void cancel_data();
    void cancel();
    void cancelButtonStaysTrue();
    void bufferTooSmall_data();
    void bufferTooSmall();
    void nothingShownWithoutOwnerOrBuffer_data();
    void nothingShownWithoutOwnerOrBuffer();
    void actionProperty_data();
    void actionProperty();
    void configureQtDialog_data();
    void configureQtDialog();
    void fileDialogInJapanese();
    void realDialogAnswered();
    void realDialogCancelled();
    void realDialogRefusesMissingFolder();
    void realDialogTypedNames_data();
    void realDialogTypedNames();

private:
    QWidget owner_;
};

void tst_cCommonDlg::initTestCase() { QStandardPaths::setTestModeEnabled(true); }

void tst_cCommonDlg::defaults()
{
    const cCommonDlg dlg;
    QCOMPARE(dlg.Filter(), QString());
    QCOMPARE(dlg.PlatformFilter(), QStringLiteral("All Files (*.*)") + kNul + QStringLiteral("*.*") + kNul);
    QCOMPARE(dlg.flags(), 0u);
    QCOMPARE(dlg.DialogTitle(), QStringLiteral("Open File"));
    QCOMPARE(dlg.MaxFileSize(), 255);
    QCOMPARE(dlg.InitDir(), QDir::currentPath());
    QCOMPARE(dlg.FileName(), QString());
    QCOMPARE(dlg.FilterIndex(), qint16(0));
    QCOMPARE(dlg.DefaultExt(), QString(kNul));
    QCOMPARE(dlg.FileTitle(), QString(254, u' '));
    QCOMPARE(dlg.Form(), nullptr);
    QCOMPARE(dlg.CancelError(), false);
    QCOMPARE(dlg.Action(), qint16(0));
    QCOMPARE(dlg.CancelButton(), false);
    QCOMPARE(dlg.ErrNumber(), 0);
    QCOMPARE(dlg.ErrDescription(), QStringLiteral("未知のｴﾗｰです。"));

    // With nothing set, the dialog lists every file and has no default extension.
    const FileDialogRequest request = dlg.Request(ActionOpen);
    QCOMPARE(request.filters.size(), 1);
    QCOMPARE(NameFilter(request.filters.constFirst()), QStringLiteral("All Files (*.*) (*.*)"));
    QCOMPARE(request.selectedFilter, 0);
    QCOMPARE(request.defaultSuffix, QString());
}

void tst_cCommonDlg::filterProperty()
{
    cCommonDlg dlg;
    dlg.SetFilter(QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)|*.zrd"));
    QCOMPARE(dlg.Filter(), QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)|*.zrd"));
    QCOMPARE(dlg.PlatformFilter(), QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)") + kNul + QStringLiteral("*.zrd") + kNul);
    dlg.SetFilter(QString());
    QCOMPARE(dlg.Filter(), QString());
    QCOMPARE(dlg.PlatformFilter(), QString(kNul));
    QVERIFY(dlg.Request(ActionOpen).filters.isEmpty());
}

void tst_cCommonDlg::requestCarriesTheSetup()
{
    ScriptedAnswers answers;
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetDialogTitle(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄの追加"));
    dlg.SetFilter(QStringLiteral("VB Project Files (*.vbp)|*.vbp|All|*.*"));
    dlg.SetFilterIndex(2);
    dlg.SetFlags(2624004);
    dlg.SetInitDir(QStringLiteral("/work/projects"));
    dlg.SetDefaultExt(QStringLiteral(".vbp"));
    dlg.SetCancelError(true);
    dlg.ShowOpen();

    QCOMPARE(answers.requests.size(), 1);
    const FileDialogRequest &r = answers.requests.constFirst();
    QCOMPARE(r.action, ActionOpen);
    QCOMPARE(r.title, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄの追加"));
    QCOMPARE(r.initialFolder, QStringLiteral("/work/projects"));
    QCOMPARE(r.filters.size(), 2);
    QCOMPARE(r.filters.at(0), (FilterPair{QStringLiteral("VB Project Files (*.vbp)"), {QStringLiteral("*.vbp")}}));
    QCOMPARE(r.selectedFilter, 1);
    QCOMPARE(r.flags, 0x280A04u);
    QVERIFY(r.multiSelect());
    QCOMPARE(r.defaultSuffix, QStringLiteral("vbp"));
    QCOMPARE(r.proposedName, QString());
    QCOMPARE(dlg.Action(), ActionOpen);
}

void tst_cCommonDlg::proposedNameCut()
{
    ScriptedAnswers answers;
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetMaxFileSize(12);
    dlg.SetFileName(QStringLiteral("/data/Tools.zrd"));
    dlg.ShowSave();
    QCOMPARE(answers.requests.size(), 1);
    QCOMPARE(answers.requests.constFirst().proposedName, QStringLiteral("/data/Tools"));
    QCOMPARE(answers.requests.constFirst().action, ActionSave);
    QVERIFY(!answers.requests.constFirst().multiSelect());
}

void tst_cCommonDlg::choose_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QString>("fileTitle");
    QTest::newRow("one file") << QStringList{QStringLiteral("/D/Work/A.vbp")}
                              << QStringList{QDir::toNativeSeparators(QStringLiteral("/D/Work/A.vbp"))}
                              << QStringLiteral("A.vbp");
    QTest::newRow("three files")
        << QStringList{QStringLiteral("/D/Work/A.vbp"), QStringLiteral("/D/Work/B.vbp"), QStringLiteral("/D/Work/C.vbp")}
        << QStringList{QDir::toNativeSeparators(QStringLiteral("/D/Work")), QStringLiteral("A.vbp"),
                       QStringLiteral("B.vbp"), QStringLiteral("C.vbp")}
        << QString();
}

void tst_cCommonDlg::choose()
{
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, parts);
    QFETCH(QString, fileTitle);
    ScriptedAnswers answers;
    answers.answer = chosen;
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetFlags(0x280A04);
    dlg.SetCancelError(true);
    dlg.ShowOpen();
    QCOMPARE(dlg.CancelButton(), false);
    QCOMPARE(dlg.FileName().split(kNul), parts);
    QCOMPARE(dlg.FileTitle(), fileTitle);
    QCOMPARE(dlg.ErrNumber(), 0);
}

void tst_cCommonDlg::save()
{
    ScriptedAnswers answers;
    answers.answer = QStringList{QStringLiteral("/data/New.zrd")};
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetFlags(0x200A04); // multiple selection means nothing when saving
    dlg.SetCancelError(true);
    dlg.SetFileName(QStringLiteral("/data/Old.zrd"));
    dlg.ShowSave();
    QCOMPARE(dlg.Action(), ActionSave);
    QCOMPARE(dlg.CancelButton(), false);
    QCOMPARE(dlg.FileName(), QDir::toNativeSeparators(QStringLiteral("/data/New.zrd")));

    // A save dialog never hands back several names.
    answers.answer = QStringList{QStringLiteral("/data/a.zrd"), QStringLiteral("/data/b.zrd")};
    dlg.ShowSave();
    QCOMPARE(dlg.CancelButton(), true);
    QCOMPARE(dlg.ErrNumber(), dlgerr::InvalidFileName);
    QCOMPARE(dlg.FileName(), QString(""));
}

void tst_cCommonDlg::cancel_data()
{
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<bool>("cancelButton");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("cancel error set") << true << true << QString("");
    // A caller reading only FileName gets its own proposal back.
    QTest::newRow("cancel error not set") << false << false << QStringLiteral("/data/Tools.zrd");
}

void tst_cCommonDlg::cancel()
{
    QFETCH(bool, cancelError);
    QFETCH(bool, cancelButton);
    QFETCH(QString, fileName);
    ScriptedAnswers answers;
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetCancelError(cancelError);
    dlg.SetFileName(QStringLiteral("/data/Tools.zrd"));
    dlg.ShowOpen();
    QCOMPARE(answers.requests.size(), 1);
    QCOMPARE(dlg.CancelButton(), cancelButton);
    QCOMPARE(dlg.FileName(), fileName);
    QCOMPARE(dlg.ErrNumber(), 0);
}

void tst_cCommonDlg::cancelButtonStaysTrue()
{
    ScriptedAnswers answers;
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetCancelError(true);
    dlg.ShowOpen();
    QCOMPARE(dlg.CancelButton(), true);
    answers.answer = QStringList{QStringLiteral("/w/A.vbp")};
    dlg.ShowOpen();
    QCOMPARE(dlg.CancelButton(), true);
    QCOMPARE(dlg.FileName(), QDir::toNativeSeparators(QStringLiteral("/w/A.vbp")));
}

void tst_cCommonDlg::bufferTooSmall_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<bool>("cancelButton");
    QTest::addColumn<QString>("fileName");
    const QString longPath = QStringLiteral("/w/") + QString(252, u'a');
    const QStringList many{QStringLiteral("/w/") + QString(125, u'a'), QStringLiteral("/w/") + QString(125, u'b'),
                           QStringLiteral("/w/c")};
    QTest::newRow("long path, cancel error") << QStringList{longPath} << true << true << QString("");
    QTest::newRow("long path, no cancel error") << QStringList{longPath} << false << false
                                                << QStringLiteral("proposal.vbp");
    QTest::newRow("too many names") << many << true << true << QString("");
}

void tst_cCommonDlg::bufferTooSmall()
{
    QFETCH(QStringList, chosen);
    QFETCH(bool, cancelError);
    QFETCH(bool, cancelButton);
    QFETCH(QString, fileName);
    ScriptedAnswers answers;
    answers.answer = chosen;
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetFlags(0x280A04);
    dlg.SetCancelError(cancelError);
    dlg.SetFileName(QStringLiteral("proposal.vbp"));
    dlg.ShowOpen();
    QCOMPARE(dlg.CancelButton(), cancelButton);
    QCOMPARE(dlg.FileName(), fileName);
    QCOMPARE(dlg.ErrNumber(), dlgerr::BufferTooSmall);
    QCOMPARE(dlg.ErrDescription(), QStringLiteral("メンバ lpstrFile が指すバッファが小さすぎます。"));

    // The next dialog starts with no error.
    answers.answer = std::nullopt;
    dlg.ShowOpen();
    QCOMPARE(dlg.ErrNumber(), 0);
}

void tst_cCommonDlg::nothingShownWithoutOwnerOrBuffer_data()
{
    QTest::addColumn<bool>("withOwner");
    QTest::addColumn<int>("maxFileSize");
    QTest::newRow("no owner") << false << 255;
    QTest::newRow("buffer size 0") << true << 0;
    QTest::newRow("negative buffer size") << true << -5;
}

void tst_cCommonDlg::nothingShownWithoutOwnerOrBuffer()
{
    QFETCH(bool, withOwner);
    QFETCH(int, maxFileSize);
    ScriptedAnswers answers;
    answers.answer = QStringList{QStringLiteral("/w/A.vbp")};
    cCommonDlg dlg;
    if (withOwner)
        dlg.SetForm(&owner_);
    dlg.SetMaxFileSize(maxFileSize);
    dlg.SetCancelError(true);
    dlg.SetFileName(QStringLiteral("keep.vbp"));
    dlg.ShowSave();
    QVERIFY(answers.requests.isEmpty());
    QCOMPARE(dlg.Action(), ActionSave);
    QCOMPARE(dlg.CancelButton(), false);
    QCOMPARE(dlg.FileName(), QStringLiteral("keep.vbp"));
}

void tst_cCommonDlg::actionProperty_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("shown");
    QTest::newRow("1 opens") << 1 << 1;
    QTest::newRow("2 saves") << 2 << 1;
    QTest::newRow("3 only stores") << 3 << 0;
    QTest::newRow("0 only stores") << 0 << 0;
    QTest::newRow("-1 only stores") << -1 << 0;
}

void tst_cCommonDlg::actionProperty()
{
    QFETCH(int, action);
    QFETCH(int, shown);
    ScriptedAnswers answers;
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetAction(qint16(action));
    QCOMPARE(dlg.Action(), qint16(action));
    QCOMPARE(answers.requests.size(), shown);
    if (shown)
        QCOMPARE(answers.requests.constFirst().action, qint16(action));
}

void tst_cCommonDlg::configureQtDialog_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<uint>("flags");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<bool>("confirmOverwrite");
    QTest::addColumn<QString>("acceptText");
    QTest::newRow("add projects") << 1 << 0x280A04u << int(QFileDialog::ExistingFiles) << false
                                  << QStringLiteral("開く(&O)");
    QTest::newRow("open catalogue") << 1 << 0x280804u << int(QFileDialog::AnyFile) << false << QStringLiteral("開く(&O)");
    QTest::newRow("file must exist") << 1 << 0x1000u << int(QFileDialog::ExistingFile) << false
                                     << QStringLiteral("開く(&O)");
    QTest::newRow("save catalogue") << 2 << 0x280804u << int(QFileDialog::AnyFile) << false << QStringLiteral("保存(&S)");
    QTest::newRow("save with overwrite prompt") << 2 << 0x2u << int(QFileDialog::AnyFile) << true
                                                << QStringLiteral("保存(&S)");
}

void tst_cCommonDlg::configureQtDialog()
{
    QFETCH(int, action);
    QFETCH(uint, flags);
    QFETCH(int, fileMode);
    QFETCH(bool, confirmOverwrite);
    QFETCH(QString, acceptText);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    cCommonDlg dlg;
    dlg.SetDialogTitle(QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙを開く"));
    dlg.SetFilter(QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)|*.zrd|All|*.*"));
    dlg.SetFilterIndex(2);
    dlg.SetFlags(flags);
    dlg.SetInitDir(dir.path());
    dlg.SetDefaultExt(QStringLiteral("zrd"));
    QFileDialog dialog;
    cCommonDlg::Configure(dialog, dlg.Request(qint16(action)));

    QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(int(dialog.fileMode()), fileMode);
    QCOMPARE(dialog.acceptMode(), action == 2 ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    QCOMPARE(!dialog.testOption(QFileDialog::DontConfirmOverwrite), confirmOverwrite);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙを開く"));
    QCOMPARE(dialog.nameFilters(),
             (QStringList{QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd) (*.zrd)"), QStringLiteral("All (*.*)")}));
    QCOMPARE(dialog.defaultSuffix(), QStringLiteral("zrd"));
    QCOMPARE(QDir(dialog.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    QCOMPARE(dialog.labelText(QFileDialog::Accept), acceptText);
    QCOMPARE(dialog.labelText(QFileDialog::Reject), QStringLiteral("キャンセル"));
    QCOMPARE(dialog.labelText(QFileDialog::FileName), QStringLiteral("ファイル名(&N):"));

    // The file-type list shows the caller's descriptions as written.
    auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    QCOMPARE(types->itemText(0), QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)"));
    QCOMPARE(types->itemText(1), QStringLiteral("All"));
    QCOMPARE(types->currentIndex(), 1); // FilterIndex 2
}

void tst_cCommonDlg::fileDialogInJapanese()
{
    const QLocale old;
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    const auto restore = qScopeGuard([&old] { QLocale::setDefault(old); });
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QFile file(dir.filePath(QStringLiteral("Tools.zrd")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(2000, 'x')) == 2000);
    file.close();
    cCommonDlg dlg;
    dlg.SetFilter(QStringLiteral("All|*.*"));
    dlg.SetInitDir(dir.path());
    QFileDialog dialog;
    cCommonDlg::Configure(dialog, dlg.Request(1));

    // Every access key shows as one: no label with a raw "&" that has no control to go to.
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        QVERIFY2(!label->text().contains(u'&') || label->buddy(), qPrintable(label->text()));
    // Sizes, dates and folders in the file list as a Japanese user reads them.
    const QAbstractItemModel *list = dialog.proxyModel();
    QVERIFY(list);
    const auto *view = dialog.findChild<QAbstractItemView *>(QStringLiteral("treeView"));
    QVERIFY(view);
    const auto row = [list, view](const QString &name) {
        const QModelIndex root = view->rootIndex();
        for (int r = 0; r < list->rowCount(root); ++r)
            if (list->index(r, 0, root).data().toString() == name)
                return list->index(r, 0, root);
        return QModelIndex();
    };
    QTRY_VERIFY(row(QStringLiteral("Tools.zrd")).isValid() && row(QStringLiteral("sub")).isValid());
    const QModelIndex tools = row(QStringLiteral("Tools.zrd"));
    QCOMPARE(tools.siblingAtColumn(1).data().toString(), QStringLiteral("2 KB"));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{1,2}:\\d{2}$"))
                 .match(tools.siblingAtColumn(3).data().toString())
                 .hasMatch(),
             qPrintable(tools.siblingAtColumn(3).data().toString()));
    QCOMPARE(row(QStringLiteral("sub")).siblingAtColumn(2).data().toString(), QStringLiteral("フォルダー"));
}

void tst_cCommonDlg::realDialogAnswered()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString chosen = dir.filePath(QStringLiteral("Tools.zrd"));
    QTimer guard;
    CloseDialogsLeftOpen(guard);
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの保存"));
        dialog->selectFile(chosen);
        static_cast<QDialog *>(dialog)->accept();
    });
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetDialogTitle(QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの保存"));
    dlg.SetFilter(QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)|*.zrd"));
    dlg.SetFlags(2623492);
    dlg.SetInitDir(dir.path());
    dlg.SetCancelError(true);
    dlg.ShowSave();
    QCOMPARE(dlg.CancelButton(), false);
    QCOMPARE(QFileInfo(dlg.FileName()).fileName(), QStringLiteral("Tools.zrd"));
    QCOMPARE(QFileInfo(dlg.FileName()).dir().canonicalPath(), QDir(dir.path()).canonicalPath());
}

void tst_cCommonDlg::realDialogCancelled()
{
    QTimer::singleShot(0, [] {
        if (QWidget *w = QApplication::activeModalWidget())
            w->close();
    });
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetCancelError(true);
    dlg.SetFileName(QStringLiteral("x.zrd"));
    dlg.ShowOpen();
    QCOMPARE(dlg.CancelButton(), true);
    QCOMPARE(dlg.FileName(), QString(""));
}

void tst_cCommonDlg::realDialogRefusesMissingFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("missing/Tools.zrd"));
    QStringList seen;
    QTimer guard;
    CloseDialogsLeftOpen(guard);
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        // The warning comes up while the dialog's OK is being handled.
        QTimer::singleShot(0, [&seen] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen.append(box->text());
                box->close();
            }
        });
        dialog->selectFile(missing);
        static_cast<QDialog *>(dialog)->accept();
        seen.append(dialog->isVisible() ? QStringLiteral("still open") : QStringLiteral("closed"));
        dialog->close();
    });
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetFlags(2623492); // path must exist, the file need not
    dlg.SetInitDir(dir.path());
    dlg.SetCancelError(true);
    dlg.ShowOpen();
    QCOMPARE(dlg.CancelButton(), true);
    QCOMPARE(seen.size(), 2);
    QVERIFY(seen.at(0).contains(QStringLiteral("パスが存在しません。")));
    QCOMPARE(seen.at(1), QStringLiteral("still open"));
}

QTEST_MAIN(tst_cCommonDlg)
#include "tst_cCommonDlg.moc"

void tst_cCommonDlg::realDialogTypedNames_data()
{
    QTest::addColumn<QString>("typed"); // into the name box, key by key, then Enter
    QTest::addColumn<QStringList>("chosen"); // the names after the folder; empty: the dialog stays open
    QTest::newRow("two, later one first") << QStringLiteral("\"P3.vbp\" \"P1.vbp\"") << QStringList{"P3.vbp", "P1.vbp"};
    QTest::newRow("two in order") << QStringLiteral("\"P1.vbp\" \"P3.vbp\"") << QStringList{"P1.vbp", "P3.vbp"};
    QTest::newRow("three") << QStringLiteral("\"P3.vbp\" \"P2.vbp\" \"P1.vbp\"")
                           << QStringList{"P3.vbp", "P2.vbp", "P1.vbp"};
    QTest::newRow("one quoted") << QStringLiteral("\"P1.vbp\"") << QStringList{"P1.vbp"};
}

void tst_cCommonDlg::realDialogTypedNames()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, chosen);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *name : {"P1.vbp", "P2.vbp", "P3.vbp"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QTimer guard;
    CloseDialogsLeftOpen(guard);
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *box = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(box);
        // The folder's files are listed before the user types, as they are when a user does.
        QTRY_VERIFY(dialog->findChild<QAbstractItemView *>(QStringLiteral("listView"))->model()->rowCount(
                        dialog->findChild<QAbstractItemView *>(QStringLiteral("listView"))->rootIndex())
                    == 3);
        box->setFocus();
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Return);
    });
    cCommonDlg dlg;
    dlg.SetForm(&owner_);
    dlg.SetFilter(QStringLiteral("VB Project Files (*.vbp;*.vbg)|*.vbp;*.vbg"));
    dlg.SetFlags(2624004); // as the add command asks: several files, each must exist
    dlg.SetInitDir(dir.path());
    dlg.SetCancelError(true);
    dlg.SetMaxFileSize(32000);
    dlg.ShowOpen();
    QCOMPARE(dlg.CancelButton(), false);
    QStringList parts = dlg.FileName().split(QChar(0));
    if (chosen.size() == 1) {
        QCOMPARE(QFileInfo(dlg.FileName()).fileName(), chosen.first());
        return;
    }
    QCOMPARE(QDir(parts.takeFirst()).canonicalPath(), QDir(dir.path()).canonicalPath());
    QCOMPARE(parts, chosen);
}
