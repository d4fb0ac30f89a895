#include "platform/Twips.h"
#include "tooling/Centring.h"
#include "tooling/ui/fMessage.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

class tst_fMessage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void twipsToPixels_data();
    void twipsToPixels();
    void centring_data();
    void centring();
    void captionOnlyWindow();
    void centredOverOwner_data();
    void centredOverOwner();
};

void tst_fMessage::twipsToPixels_data()
{
    QTest::addColumn<qint64>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("zero") << qint64(0) << 0;
    QTest::newRow("below half") << qint64(7) << 0;
    QTest::newRow("half up") << qint64(8) << 1;
    QTest::newRow("client width") << qint64(3285) << 219;
    QTest::newRow("negative below half") << qint64(-7) << 0;
    QTest::newRow("negative half") << qint64(-8) << -1;
    QTest::newRow("negative") << qint64(-22) << -1;
    QTest::newRow("negative over half") << qint64(-23) << -2;
}

void tst_fMessage::twipsToPixels()
{
    QFETCH(qint64, twips);
    QFETCH(int, pixels);
    QCOMPARE(platform::TwipsToPixels(twips), pixels);
}

void tst_fMessage::centring_data()
{
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QPoint>("topLeft");
    // Left 1,000 and width 9,001 with a 3,405 wide window: 1,000 + 4,500 - 1,702.
    QTest::newRow("odd sizes truncate") << QRect(1000, 2000, 9001, 6001) << QSize(3405, 405) << QPoint(3798, 4798);
    QTest::newRow("even sizes") << QRect(0, 0, 9000, 6000) << QSize(3400, 400) << QPoint(2800, 2800);
    QTest::newRow("negative position") << QRect(-15000, -300, 9001, 3001) << QSize(3405, 0) << QPoint(-12202, 1200);
    QTest::newRow("window wider than owner") << QRect(100, 100, 1000, 1000) << QSize(3405, 405) << QPoint(-1102, 398);
    QTest::newRow("empty owner") << QRect(500, 500, 0, 0) << QSize(3285, 0) << QPoint(-1142, 500);
}

void tst_fMessage::centring()
{
    QFETCH(QRect, owner);
    QFETCH(QSize, window);
    QFETCH(QPoint, topLeft);
    QCOMPARE(mMain::CentreOver(owner, window), topLeft);
}

void tst_fMessage::captionOnlyWindow()
{
    fMessage message;
    message.SetCaption(QStringLiteral("App.exe を作成中"));
    QCOMPARE(message.Caption(), QStringLiteral("App.exe を作成中"));
    QCOMPARE(message.windowTitle(), QStringLiteral("App.exe を作成中"));
    QVERIFY(message.isWindow());
    // 3,285 twips wide; no height but the one pixel that lets the window show.
    QCOMPARE(message.size(), QSize(219, 1));
    QCOMPARE(message.minimumSize(), message.maximumSize());
    const Qt::WindowFlags flags = message.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
}

void tst_fMessage::centredOverOwner_data()
{
    QTest::addColumn<QRect>("ownerGeometry");
    QTest::newRow("plain") << QRect(100, 100, 600, 400);
    QTest::newRow("odd pixels") << QRect(40, 30, 601, 401);
    QTest::newRow("narrower than the window") << QRect(500, 400, 151, 81);
}

void tst_fMessage::centredOverOwner()
{
    QFETCH(QRect, ownerGeometry);
    QWidget owner;
    owner.setGeometry(ownerGeometry);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    const QRect frame = owner.frameGeometry();
    // Before it is shown the window is taken to get the owner's decorations.
    const QSize outer = QSize(219, 1) + (frame.size() - owner.size());
    // Frame over frame, in twips with truncated halves, back to the nearest pixel.
    const QPoint expected(qRound((frame.x() * 15 + frame.width() * 15 / 2 - outer.width() * 15 / 2) / 15.0),
                          qRound((frame.y() * 15 + frame.height() * 15 / 2 - outer.height() * 15 / 2) / 15.0));

    fMessage message(&owner);
    message.SetCaption(QStringLiteral("保存中"));
    message.CentreOver(&owner);
    QCOMPARE(message.pos(), expected);
    // Shown with the same decorations, it keeps that place.
    message.ShowNow();
    QVERIFY(message.isVisible());
    QCOMPARE(message.frameGeometry().size(), outer);
    message.CentreOver(&owner);
    QCOMPARE(message.pos(), expected);
}

QTEST_MAIN(tst_fMessage)
#include "tst_fMessage.moc"
