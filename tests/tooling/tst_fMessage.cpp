#include "tooling/ui/fMessage.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

class tst_fMessage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void captionOnlyWindow();
    void centredOverOwner_data();
    void centredOverOwner();
};

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
