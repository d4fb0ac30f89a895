#include "platform/Centring.h"
#include "platform/Twips.h"

#include <QTest>

class tst_Twips : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twipsToPixels_data();
    void twipsToPixels();
    void centredOrigin_data();
    void centredOrigin();
    void centreOver_data();
    void centreOver();
};

void tst_Twips::twipsToPixels_data()
{
    QTest::addColumn<qint64>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("zero") << qint64(0) << 0;
    QTest::newRow("below half") << qint64(7) << 0;
    QTest::newRow("half up") << qint64(8) << 1;
    QTest::newRow("exact") << qint64(5400) << 360;
    QTest::newRow("rounds down") << qint64(1097) << 73;
    QTest::newRow("rounds up") << qint64(1094) << 73;
    QTest::newRow("client width") << qint64(3285) << 219;
    QTest::newRow("negative exact") << qint64(-1500) << -100;
    QTest::newRow("negative below half") << qint64(-7) << 0;
    QTest::newRow("negative half") << qint64(-8) << -1;
    QTest::newRow("negative") << qint64(-22) << -1;
    QTest::newRow("negative over half") << qint64(-23) << -2;
}

void tst_Twips::twipsToPixels()
{
    QFETCH(qint64, twips);
    QFETCH(int, pixels);
    QCOMPARE(platform::TwipsToPixels(twips), pixels);
}

void tst_Twips::centredOrigin_data()
{
    QTest::addColumn<int>("area");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("left");
    QTest::newRow("even") << 19200 << 5400 << 6900;
    QTest::newRow("odd window truncates") << 19200 << 5401 << 6900;
    QTest::newRow("odd screen truncates") << 19201 << 5400 << 6900;
    QTest::newRow("window wider than screen") << 4000 << 6000 << -1000;
    QTest::newRow("same size") << 4000 << 4000 << 0;
}

void tst_Twips::centredOrigin()
{
    QFETCH(int, area);
    QFETCH(int, window);
    QFETCH(int, left);
    QCOMPARE(platform::CentredOrigin(area, window), left);
}

void tst_Twips::centreOver_data()
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

void tst_Twips::centreOver()
{
    QFETCH(QRect, owner);
    QFETCH(QSize, window);
    QFETCH(QPoint, topLeft);
    QCOMPARE(platform::CentreOver(owner, window), topLeft);
}

QTEST_APPLESS_MAIN(tst_Twips)
#include "tst_Twips.moc"
