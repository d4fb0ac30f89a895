#include "catalogue/NameRules.h"

#include "platform/IniStore.h"
#include "common/ResetGlobals.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace catalogue;

class tst_NameRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { ResetGlobals(); }
    void projectName_data();
    void projectName();
    void categoryName_data();
    void categoryName();
    void path_data();
    void path();
    void followsTheFileEncoding();
};

void tst_NameRules::projectName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message"); // null: accepted

    const QString blanks = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名の先頭や末尾に空白は使えません。");
    const QString start = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名の先頭に「;」や「[」は使えません。");
    QTest::newRow("plain") << QStringLiteral("Calc") << QString();
    QTest::newRow("japanese") << QStringLiteral("電卓ﾌﾟﾛｼﾞｪｸﾄ") << QString();
    QTest::newRow("inner blank") << QStringLiteral("Memo Pad") << QString();
    QTest::newRow("ideographic space at the ends") << QStringLiteral("　メモ　") << QString();
    QTest::newRow("semicolon and bracket inside") << QStringLiteral("a;b[c]") << QString();
    QTest::newRow("empty is the caller's rule") << QString() << QString();
    QTest::newRow("equals") << QStringLiteral("a=b") << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名に「=」は使えません。");
    QTest::newRow("equals at the end") << QStringLiteral("Calc=") << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名に「=」は使えません。");
    QTest::newRow("semicolon first") << QStringLiteral(";Calc") << start;
    QTest::newRow("bracket first") << QStringLiteral("[Calc") << start;
    QTest::newRow("leading space") << QStringLiteral(" Calc") << blanks;
    QTest::newRow("trailing space") << QStringLiteral("Calc ") << blanks;
    QTest::newRow("trailing tab") << QStringLiteral("Calc\t") << blanks;
    QTest::newRow("only a blank") << QStringLiteral(" ") << blanks;
    QTest::newRow("line break") << QStringLiteral("a\nb") << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名に改行などの制御文字は使えません。");
    QTest::newRow("hangul") << QStringLiteral("계산기")
                            << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名に保存できない文字「계」が含まれています。");
    QTest::newRow("latin accent after cp932 text") << QStringLiteral("電卓é")
                                                   << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名に保存できない文字「é」が含まれています。");
    QTest::newRow("surrogate pair stays whole") << QStringLiteral("a\U0001F600")
                                                << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名に保存できない文字「\U0001F600」が含まれています。");
}

void tst_NameRules::projectName()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    const QString problem = ProjectNameProblem(name);
    QCOMPARE(problem.isNull(), message.isNull());
    QCOMPARE(problem, message);
}

void tst_NameRules::categoryName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");

    const QString blanks = QStringLiteral("ｶﾃｺﾞﾘｰ名の先頭や末尾に空白は使えません。");
    QTest::newRow("plain") << QStringLiteral("Tools") << QString();
    QTest::newRow("equals is fine in a section") << QStringLiteral("a=b") << QString();
    QTest::newRow("semicolon first is fine") << QStringLiteral(";Tools") << QString();
    QTest::newRow("opening bracket is fine") << QStringLiteral("[Tools") << QString();
    QTest::newRow("closing bracket") << QStringLiteral("Tools]") << QStringLiteral("ｶﾃｺﾞﾘｰ名に「]」は使えません。");
    QTest::newRow("closing bracket inside") << QStringLiteral("a]b") << QStringLiteral("ｶﾃｺﾞﾘｰ名に「]」は使えません。");
    QTest::newRow("leading space") << QStringLiteral(" Tools") << blanks;
    QTest::newRow("trailing tab") << QStringLiteral("Tools\t") << blanks;
    QTest::newRow("ideographic space") << QStringLiteral("　ツール") << QString();
    QTest::newRow("carriage return") << QStringLiteral("a\rb") << QStringLiteral("ｶﾃｺﾞﾘｰ名に改行などの制御文字は使えません。");
    QTest::newRow("hangul") << QStringLiteral("도구") << QStringLiteral("ｶﾃｺﾞﾘｰ名に保存できない文字「도」が含まれています。");
}

void tst_NameRules::categoryName()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    const QString problem = CategoryNameProblem(name);
    QCOMPARE(problem.isNull(), message.isNull());
    QCOMPARE(problem, message);
}

void tst_NameRules::path_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");

    QTest::newRow("posix") << QStringLiteral("/home/user/Src/App.vbp") << QString();
    QTest::newRow("windows") << QStringLiteral("C:\\Src\\電卓\\Calc.vbp") << QString();
    QTest::newRow("equals in a value") << QStringLiteral("/src/a=b/App.vbp") << QString();
    QTest::newRow("inner blank") << QStringLiteral("/My Src/App.vbp") << QString();
    QTest::newRow("trailing blank") << QStringLiteral("/src/App.vbp ")
                                    << QStringLiteral("/src/App.vbp  は先頭や末尾に空白があるため保存できません。");
    QTest::newRow("leading blank") << QStringLiteral(" /src/App.vbp")
                                   << QStringLiteral(" /src/App.vbp は先頭や末尾に空白があるため保存できません。");
    QTest::newRow("line break") << QStringLiteral("/src/a\nb.vbp")
                                << QStringLiteral("/src/a\nb.vbp には改行などの制御文字があるため保存できません。");
    QTest::newRow("accent") << QStringLiteral("/home/josé/App.vbp")
                            << QStringLiteral("/home/josé/App.vbp には保存できない文字「é」が含まれています。");
}

void tst_NameRules::path()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    const QString problem = PathProblem(path);
    QCOMPARE(problem.isNull(), message.isNull());
    QCOMPARE(problem, message);
}

void tst_NameRules::followsTheFileEncoding()
{
    // A catalogue saved as UTF-8 (with its mark) holds any character; a new file is code page 932.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString utf8 = dir.filePath(QStringLiteral("utf8.zrd"));
    QFile file(utf8);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF[Tools]\r\n");
    file.close();
    const QString fresh = dir.filePath(QStringLiteral("new.zrd"));

    QVERIFY(ProjectNameProblem(QStringLiteral("계산기"), utf8).isNull());
    QVERIFY(CategoryNameProblem(QStringLiteral("도구"), utf8).isNull());
    QVERIFY(PathProblem(QStringLiteral("/home/josé/App.vbp"), utf8).isNull());
    QVERIFY(!ProjectNameProblem(QStringLiteral("계산기"), fresh).isNull());
    // The syntax rules hold whatever the encoding.
    QVERIFY(!ProjectNameProblem(QStringLiteral("a=b"), utf8).isNull());
    QVERIFY(!CategoryNameProblem(QStringLiteral("a]"), utf8).isNull());
}

QTEST_GUILESS_MAIN(tst_NameRules)
#include "tst_NameRules.moc"
