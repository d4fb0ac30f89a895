#include "support/ui/BandedScrollBarStyle.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>

#include <algorithm>
#include <cstdlib>

namespace {

class Bar : public QScrollBar {
public:
    using QScrollBar::initStyleOption;
    using QScrollBar::QScrollBar;
};

QImage Painted(const QStyle &style, const QStyleOptionSlider &option, const QScrollBar &bar, qreal ratio)
{
    QImage image(option.rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    style.drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, &bar);
    return image;
}

} // namespace

class tst_BandedScrollBarStyle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void paintsAsTheStyle_data();
    void paintsAsTheStyle();
};

void tst_BandedScrollBarStyle::paintsAsTheStyle_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("held"); // the sub-control pressed
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("tall, at the top") << int(Qt::Vertical) << QSize(16, 900) << 0 << 0 << 1.0;
    QTest::newRow("tall, held in the middle") << int(Qt::Vertical) << QSize(16, 900) << 2500 << int(QStyle::SC_ScrollBarSlider) << 1.0;
    QTest::newRow("a page held") << int(Qt::Vertical) << QSize(16, 900) << 2500 << int(QStyle::SC_ScrollBarAddPage) << 1.0;
    QTest::newRow("not a whole band, at the end") << int(Qt::Vertical) << QSize(16, 901) << 5000 << 0 << 1.0;
    QTest::newRow("shorter than a band") << int(Qt::Vertical) << QSize(16, 30) << 100 << 0 << 1.0;
    QTest::newRow("twice the pixels") << int(Qt::Vertical) << QSize(16, 500) << 1200 << 0 << 2.0;
    QTest::newRow("long, across") << int(Qt::Horizontal) << QSize(1070, 14) << 3000 << 0 << 1.0;
}

void tst_BandedScrollBarStyle::paintsAsTheStyle()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(int, value);
    QFETCH(int, held);
    QFETCH(qreal, ratio);
    Bar bar{Qt::Orientation(orientation)};
    bar.resize(size);
    bar.setRange(0, 5000);
    bar.setPageStep(45);
    bar.setValue(value);
    QStyleOptionSlider option;
    bar.initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    if (held) {
        option.activeSubControls = QStyle::SubControl(held);
        option.state |= QStyle::State_Sunken;
    }
    QObject owner;
    const support::BandedScrollBarStyle banded(&owner);
    // Another position drawn first: what is kept of it must not stand in for this one.
    QStyleOptionSlider elsewhere = option;
    elsewhere.sliderPosition = elsewhere.sliderValue = (value + 2000) % 5000;
    Painted(banded, elsewhere, bar, ratio);
    const QImage byBands = Painted(banded, option, bar, ratio);
    const QImage byStyle = Painted(*QApplication::style(), option, bar, ratio);
    QCOMPARE(byBands.size(), byStyle.size());
    // Antialiased lines cut at a band's edge may come a shade off; a band misplaced is far off.
    int off = 0;
    int worst = 0;
    for (int y = 0; y < byStyle.height(); ++y)
        for (int x = 0; x < byStyle.width(); ++x) {
            const QRgb a = byBands.pixel(x, y);
            const QRgb b = byStyle.pixel(x, y);
            const int shade = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                        std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
            worst = std::max(worst, shade);
            off += shade > 0;
        }
    QVERIFY2(worst <= 24, qPrintable(QStringLiteral("a pixel off by %1").arg(worst)));
    QVERIFY2(off <= 8, qPrintable(QStringLiteral("%1 pixels off").arg(off)));
}

QTEST_MAIN(tst_BandedScrollBarStyle)
#include "tst_BandedScrollBarStyle.moc"
