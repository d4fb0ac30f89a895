#include "support/ui/cILink.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

namespace {

QColor TextColour(const QLabel &label) { return label.palette().color(QPalette::WindowText); }

void SendMove(QWidget *widget, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace

class tst_cILink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void attachStylesTheLabel();
    void attachCopiesCaptionAndTakesUrl();
    void writesBeforeAttaching();
    void enterTurnsPurple();
    void leaveKeepsPurple();
    void click_data();
    void click();
    void clickAfterUrlChange();
    void reattach();
    void labelDestroyedFirst();

private:
    QStringList opened_;
};

void tst_cILink::init()
{
    opened_.clear();
    cILink::SetOpener([this](const QString &target) { opened_.append(target); });
}

void tst_cILink::cleanup() { cILink::ResetOpener(); }

void tst_cILink::attachStylesTheLabel()
{
    QLabel label(QStringLiteral("design"));
    cILink link;
    link.SetInternetLink(&label);
    QCOMPARE(link.InternetLink(), &label);
    QCOMPARE(TextColour(label), QColor(0, 0, 255));
    QVERIFY(label.font().underline());
    QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(label.hasMouseTracking());
}

void tst_cILink::attachCopiesCaptionAndTakesUrl()
{
    QLabel label(QStringLiteral("design"));
    cILink link;
    link.SetURL(QStringLiteral("https://before.example.org/"));
    link.SetInternetLink(&label);
    // The link's own (empty) caption replaces the design text and becomes the URL.
    QCOMPARE(label.text(), QString());
    QCOMPARE(link.URL(), QString());
    QCOMPARE(label.toolTip(), QString());
}

void tst_cILink::writesBeforeAttaching()
{
    cILink link;
    link.SetCaption(QStringLiteral("mail"));
    link.SetToolTipText(QStringLiteral("tip"));
    QLabel label(QStringLiteral("design"));
    link.SetInternetLink(&label);
    QCOMPARE(label.text(), QStringLiteral("mail"));
    QCOMPARE(label.toolTip(), QStringLiteral("tip"));
    QCOMPARE(link.URL(), QStringLiteral("mail"));
    QCOMPARE(label.size(), label.sizeHint()); // sized to its text
    link.SetCaption(QStringLiteral("a much longer caption than before"));
    QCOMPARE(label.size(), label.sizeHint());
}

void tst_cILink::enterTurnsPurple()
{
    QLabel label;
    cILink link;
    link.SetInternetLink(&label);
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), label.mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(&label, &event);
    QCOMPARE(TextColour(label), QColor(128, 0, 128));
}

void tst_cILink::leaveKeepsPurple()
{
    QLabel label;
    cILink link;
    link.SetInternetLink(&label);
    SendMove(&label, QPoint(1, 1));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&label, &leave);
    QCOMPARE(TextColour(label), QColor(128, 0, 128));
}

void tst_cILink::click_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QStringList>("opened");
    QTest::newRow("left button") << int(Qt::LeftButton) << QStringList{QStringLiteral("mailto:zarun@example.org")};
    QTest::newRow("right button") << int(Qt::RightButton) << QStringList{};
}

void tst_cILink::click()
{
    QFETCH(int, button);
    QFETCH(QStringList, opened);
    QLabel label;
    cILink link;
    link.SetInternetLink(&label);
    link.SetCaption(QStringLiteral("zarun@example.org"));
    link.SetURL(QStringLiteral("mailto:zarun@example.org"));
    label.show();
    QTest::mouseClick(&label, Qt::MouseButton(button), Qt::NoModifier, QPoint(2, 2));
    QCOMPARE(opened_, opened);
}

void tst_cILink::clickAfterUrlChange()
{
    QLabel label;
    cILink link;
    link.SetInternetLink(&label);
    link.SetCaption(QStringLiteral("web"));
    label.show();
    // A press that ends outside the label is no click.
    QTest::mousePress(&label, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QTest::mouseRelease(&label, Qt::LeftButton, Qt::NoModifier, QPoint(label.width() + 20, 2));
    QVERIFY(opened_.isEmpty());
    link.SetURL(QStringLiteral("https://zarun.example.org/"));
    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QCOMPARE(opened_, QStringList{QStringLiteral("https://zarun.example.org/")});
}

void tst_cILink::reattach()
{
    QLabel first;
    QLabel second;
    cILink link;
    link.SetInternetLink(&first);
    link.SetInternetLink(&second);
    link.SetCaption(QStringLiteral("x"));
    link.SetURL(QStringLiteral("https://zarun.example.org/"));
    first.show();
    // The label left behind no longer answers for the link.
    QTest::mouseClick(&first, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QVERIFY(opened_.isEmpty());
    QCOMPARE(second.text(), QStringLiteral("x"));
    QCOMPARE(first.text(), QString());
}

void tst_cILink::labelDestroyedFirst()
{
    // Shown, the label sends more events from its destructor; none may treat it as a label any more
    // (tst_cILink_ubsan catches that).
    cILink link;
    auto *label = new QLabel;
    link.SetInternetLink(label);
    label->show();
    delete label;
    QCOMPARE(link.InternetLink(), nullptr);
    link.SetCaption(QStringLiteral("after"));
    link.SetColour(cILink::HoverColour());
    QCOMPARE(link.Caption(), QStringLiteral("after"));
}

QTEST_MAIN(tst_cILink)
#include "tst_cILink.moc"
