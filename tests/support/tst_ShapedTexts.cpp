#include "support/ui/ShapedTexts.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>

namespace {

enum Cell { Plain, WithIcon, Selected, Greyed, Inactive, Wrapped };

QStyleOptionViewItem OptionFor(const QTreeView &view, Cell cell, const QString &text, int width,
                               Qt::TextElideMode mode)
{
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.widget = &view;
    option.rect = QRect(0, 0, width, 22);
    option.text = text;
    option.font = view.font();
    option.fontMetrics = view.fontMetrics();
    option.features = QStyleOptionViewItem::HasDisplay;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.textElideMode = mode;
    // As a view selecting whole rows lays its cells out.
    option.showDecorationSelected = true;
    option.state |= QStyle::State_Enabled | QStyle::State_Active;
    switch (cell) {
    case WithIcon:
        option.features |= QStyleOptionViewItem::HasDecoration;
        option.icon = view.style()->standardIcon(QStyle::SP_MessageBoxWarning);
        option.decorationSize = QSize(16, 16);
        break;
    case Selected:
        option.state |= QStyle::State_Selected;
        break;
    case Greyed:
        option.state &= ~QStyle::State_Enabled;
        break;
    case Inactive:
        option.state &= ~QStyle::State_Active;
        option.state |= QStyle::State_Selected;
        break;
    case Wrapped:
        option.features |= QStyleOptionViewItem::WrapText;
        option.rect.setHeight(60);
        break;
    case Plain:
        break;
    }
    return option;
}

QImage Painted(const std::function<void(QPainter *)> &paint, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(&painter);
    return image;
}

} // namespace

class tst_ShapedTexts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void paintsAsTheStyle_data();
    void paintsAsTheStyle();
    void keptCellsFollowTheFont();
};

void tst_ShapedTexts::paintsAsTheStyle_data()
{
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("shaped"); // not left to the style
    const QString path = QStringLiteral("/home/user/開発資産/業務アプリケーション群/分類00001/在庫管理ツール_0000001");
    QTest::newRow("fits") << int(Plain) << QStringLiteral("在庫管理ツール.vbp") << 300 << int(Qt::ElideRight) << true;
    QTest::newRow("cut at its end") << int(Plain) << path << 200 << int(Qt::ElideRight) << true;
    QTest::newRow("cut in its middle") << int(Plain) << path << 200 << int(Qt::ElideMiddle) << true;
    QTest::newRow("narrower than a letter") << int(Plain) << path << 6 << int(Qt::ElideMiddle) << true;
    QTest::newRow("beside an icon") << int(WithIcon) << QStringLiteral("ﾋﾞﾙﾄﾞが必要") << 120 << int(Qt::ElideRight) << true;
    QTest::newRow("icon, cut") << int(WithIcon) << path << 120 << int(Qt::ElideRight) << true;
    QTest::newRow("selected") << int(Selected) << path << 250 << int(Qt::ElideRight) << true;
    QTest::newRow("greyed") << int(Greyed) << QStringLiteral("旧ﾗﾝﾁｬｰ") << 250 << int(Qt::ElideRight) << true;
    QTest::newRow("inactive window") << int(Inactive) << QStringLiteral("Report & Co.exe") << 250 << int(Qt::ElideRight) << true;
    QTest::newRow("wrapped: the style's own") << int(Wrapped) << path << 120 << int(Qt::ElideRight) << false;
    QTest::newRow("two lines: the style's own") << int(Plain) << QStringLiteral("上\u2028下") << 120 << int(Qt::ElideRight) << false;
}

void tst_ShapedTexts::paintsAsTheStyle()
{
    QFETCH(int, cell);
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(int, mode);
    QFETCH(bool, shaped);
    QTreeView view;
    const QStyleOptionViewItem option = OptionFor(view, Cell(cell), text, width, Qt::TextElideMode(mode));
    const QSize size = option.rect.size();
    const QImage byStyle = Painted(
        [&](QPainter *p) { view.style()->drawControl(QStyle::CE_ItemViewItem, &option, p, &view); }, size);
    for (const bool ahead : {false, true}) {
        support::ShapedTexts texts;
        if (ahead) {
            // This thread has met the fonts (the text's letters and the cut's), the helper shapes the cell.
            texts.Cut(text + QStringLiteral("\u2026..."), option.font, 10000, Qt::ElideRight);
            QStyleOptionViewItem blank = option;
            blank.text.clear();
            texts.ShapeAhead({{text, support::TextRoom(blank).width(), Qt::TextElideMode(mode)}}, option.font);
            texts.FinishAhead();
        }
        for (int paint = 0; paint < 2; ++paint) { // shaped, then kept
            const QImage painted = Painted([&](QPainter *p) { support::PaintCell(p, option, texts); }, size);
            QCOMPARE(painted, byStyle);
        }
        QCOMPARE(texts.TakenAhead(), int(ahead && shaped));
        QCOMPARE(texts.SizeOf(option), view.style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), &view));
    }
}

void tst_ShapedTexts::keptCellsFollowTheFont()
{
    QTreeView view;
    support::ShapedTexts texts;
    QFont font = view.font();
    const QString text = QStringLiteral("在庫管理ツール_0000001.vbp");
    const auto width = [&](int room) {
        QRectF drawn;
        for (const QGlyphRun &run : texts.Cut(text, font, room, Qt::ElideRight).glyphs)
            drawn |= run.boundingRect();
        return drawn.width();
    };
    const qreal before = width(1000);
    font.setPointSizeF(font.pointSizeF() * 2);
    QVERIFY(width(1000) > before * 1.5);
    const qreal cut = width(40);
    QVERIFY(cut > 0 && cut <= 40);
}

QTEST_MAIN(tst_ShapedTexts)
#include "tst_ShapedTexts.moc"
