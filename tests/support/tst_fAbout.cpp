#include "support/ui/fAbout.h"

#include "common/AccessibleNames.h"
#include "common/Palettes.h"
#include "support/ui/ReadableColour.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {

QColor TextColour(const QLabel *label) { return label->palette().color(QPalette::WindowText); }

void SendMove(QWidget *widget, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

const QColor kBlue(0, 0, 255);
const QColor kPurple(128, 0, 128);

} // namespace

class tst_fAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void texts();
    void links();
    void icon();
    void centredOnScreen();
    void linksReadable_data();
    void linksReadable();
    void hoverAndBareWindow_data();
    void hoverAndBareWindow();
    void clickOpensTarget_data();
    void clickOpensTarget();
    void okUnloads();
    void closeUnloads();

private:
    QStringList opened_;
};

void tst_fAbout::init()
{
    opened_.clear();
    cILink::SetOpener([this](const QString &target) { opened_.append(target); });
}

void tst_fAbout::cleanup() { cILink::ResetOpener(); }

void tst_fAbout::texts()
{
    fAbout about;
    QCOMPARE(UnnamedControls(&about), QStringList());
    QVERIFY(!about.picIcon->accessibleName().isEmpty());
    QCOMPARE(about.windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(about.lblAppTitle->text(), QStringLiteral("ZARUN"));
    QCOMPARE(about.lblVersion->text(), QStringLiteral("Version   0.30"));
    QCOMPARE(about.lblTitle[0]->text(), QStringLiteral("アイコン募集中"));
    QCOMPARE(about.lblTitle[1]->text(), QStringLiteral("E-Mail"));
    QCOMPARE(about.lblTitle[2]->text(), QStringLiteral("WebSite"));
    QCOMPARE(about.cmdOK->text(), QStringLiteral("OK"));
    QVERIFY(!about.Label1->text().isEmpty());
}

void tst_fAbout::links()
{
    fAbout about;
    QVERIFY(about.WebLink());
    QVERIFY(about.MailLink());
    QCOMPARE(about.WebLink()->InternetLink(), about.lblUrl);
    QCOMPARE(about.MailLink()->InternetLink(), about.lblEmail);
    QCOMPARE(about.lblUrl->text(), QStringLiteral("https://zarun.example.org/"));
    QCOMPARE(about.WebLink()->URL(), QStringLiteral("https://zarun.example.org/"));
    QCOMPARE(about.lblUrl->toolTip(), QStringLiteral("最新情報はこちら"));
    QCOMPARE(about.lblEmail->text(), QStringLiteral("zarun@example.org"));
    QCOMPARE(about.MailLink()->URL(), QStringLiteral("mailto:zarun@example.org"));
    QCOMPARE(about.lblEmail->toolTip(), QStringLiteral("要望・感想・バグ報告はこちら"));
    QCOMPARE(TextColour(about.lblUrl), kBlue);
    QCOMPARE(TextColour(about.lblEmail), kBlue);
    QVERIFY(about.lblUrl->font().underline());
    QVERIFY(!about.lblTitle[2]->font().underline());
}

void tst_fAbout::icon()
{
    // The icon comes from the program itself, whatever the current folder.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
    fAbout about;
    QDir::setCurrent(before);
    const QPixmap pixmap = about.picIcon->pixmap();
    QVERIFY(!pixmap.isNull());
    QCOMPARE(pixmap.size(), QSize(32, 32));
    QVERIFY(!about.windowIcon().isNull());
}

void tst_fAbout::centredOnScreen()
{
    fAbout about;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int twipsLeft = (screen.width() * 15) / 2 - (about.frameGeometry().width() * 15) / 2;
    const int twipsTop = (screen.height() * 15) / 2 - (about.frameGeometry().height() * 15) / 2;
    QCOMPARE(about.pos(), QPoint(screen.left() + qRound(twipsLeft / 15.0), screen.top() + qRound(twipsTop / 15.0)));
    QCOMPARE(about.size(), QSize(360, 186));
}

void tst_fAbout::linksReadable_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<bool>("asDesigned"); // blue, purple under the pointer
    QTest::newRow("default") << QStringLiteral("default") << true;
    QTest::newRow("dark") << QStringLiteral("dark") << false;
    QTest::newRow("mid grey") << QStringLiteral("mid grey") << false;
}

void tst_fAbout::linksReadable()
{
    QFETCH(QString, scheme);
    QFETCH(bool, asDesigned);
    const SchemeScope colours(scheme);
    fAbout about;
    const QColor background = about.palette().color(QPalette::Window);
    const QColor link = TextColour(about.lblUrl);
    SendMove(about.lblUrl, QPoint(2, 2));
    const QColor hover = TextColour(about.lblUrl);
    if (asDesigned) {
        QCOMPARE(link, kBlue);
        QCOMPARE(hover, kPurple);
    }
    QVERIFY(link != hover);
    for (const QColor &colour : {link, hover})
        QVERIFY2(support::ContrastRatio(colour, background) >= 4.5, qPrintable(colour.name() + " on " + background.name()));
}

void tst_fAbout::hoverAndBareWindow_data()
{
    QTest::addColumn<QString>("overAfterwards");
    QTest::addColumn<QColor>("webColour");
    QTest::addColumn<QColor>("mailColour");
    QTest::newRow("bare window turns both blue") << QStringLiteral("window") << kBlue << kBlue;
    QTest::newRow("another control keeps purple") << QStringLiteral("title") << kPurple << kPurple;
    QTest::newRow("the OK button keeps purple") << QStringLiteral("ok") << kPurple << kPurple;
    QTest::newRow("staying on the link keeps purple") << QStringLiteral("link") << kPurple << kPurple;
}

void tst_fAbout::hoverAndBareWindow()
{
    QFETCH(QString, overAfterwards);
    QFETCH(QColor, webColour);
    QFETCH(QColor, mailColour);
    fAbout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));

    SendMove(about.lblUrl, QPoint(2, 2));
    QCOMPARE(TextColour(about.lblUrl), kPurple);
    QCOMPARE(TextColour(about.lblEmail), kBlue);
    SendMove(about.lblEmail, QPoint(2, 2));
    QCOMPARE(TextColour(about.lblEmail), kPurple);

    if (overAfterwards == u"window") {
        const QPoint bare(about.width() - 3, 3);
        QCOMPARE(about.childAt(bare), nullptr);
        SendMove(&about, bare);
    } else if (overAfterwards == u"title") {
        SendMove(about.lblTitle[0], QPoint(2, 2));
    } else if (overAfterwards == u"ok") {
        SendMove(about.cmdOK, QPoint(2, 2));
    } else {
        SendMove(about.lblEmail, QPoint(4, 4));
    }
    QCOMPARE(TextColour(about.lblUrl), webColour);
    QCOMPARE(TextColour(about.lblEmail), mailColour);
}

void tst_fAbout::clickOpensTarget_data()
{
    QTest::addColumn<bool>("mail");
    QTest::addColumn<QString>("target");
    QTest::newRow("web") << false << QStringLiteral("https://zarun.example.org/");
    QTest::newRow("mail") << true << QStringLiteral("mailto:zarun@example.org");
}

void tst_fAbout::clickOpensTarget()
{
    QFETCH(bool, mail);
    QFETCH(QString, target);
    fAbout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(mail ? about.lblEmail : about.lblUrl, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QCOMPARE(opened_, QStringList{target});
    QVERIFY(about.isVisible()); // a link click does not close the window
}

void tst_fAbout::okUnloads()
{
    fAbout about;
    about.show();
    QSignalSpy accepted(&about, &QDialog::accepted);
    QTest::mouseClick(about.cmdOK, Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.WebLink(), nullptr);
    QCOMPARE(about.MailLink(), nullptr);
    // Released links no longer act on their labels.
    QTest::mouseClick(about.lblUrl, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QVERIFY(opened_.isEmpty());
}

void tst_fAbout::closeUnloads()
{
    fAbout about;
    about.show();
    QSignalSpy rejected(&about, &QDialog::rejected);
    about.close();
    QCOMPARE(rejected.count(), 1);
    QCOMPARE(about.WebLink(), nullptr);
    QCOMPARE(about.MailLink(), nullptr);
}

QTEST_MAIN(tst_fAbout)
#include "tst_fAbout.moc"
