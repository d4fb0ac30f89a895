// The floor under a filter key that brings a screenful of texts not on screen before: Qt alone
// shaping and drawing those texts into an image the size of the benchmark's list, with no view,
// no model and no style. Rows as the open benchmark's tree has them, new numbers every round (Qt
// keeps no shaped text between layouts, only the glyphs' pixels, warm here as in the program).
// Prints the window's thread CPU per screenful: the visible texts known beforehand (a lower bound),
// and cut as the style cuts them (elided, then shaped and drawn). With --plain-cff, CFF fonts are
// drawn as the program draws them (no stem darkening, no gamma-corrected blending).
#include "platform/FontRendering.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

QList<QGlyphRun> Shaped(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    layout.setCacheEnabled(true);
    QTextOption option;
    option.setWrapMode(QTextOption::ManualWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    return layout.glyphRuns();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--plain-cff") == 0)
        platform::DrawCffFontsPlainly();
    QApplication app(argc, argv);
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    // The benchmark's window: 38 rows on screen; name, file, folder, executable, status, category.
    constexpr int kRows = 38, kRowHeight = 22, kRounds = 15;
    const int widths[] = {160, 220, 360, 220, 100, 150};
    QImage image(1260, 960, QImage::Format_RGB32);
    int first = 1;
    for (const bool cut : {false, true}) {
        QList<double> times;
        for (int round = 0; round < kRounds; ++round, first += 1000) {
            QStringList texts[6];
            for (int row = 0; row < kRows; ++row) {
                const QString name = QStringLiteral("在庫管理ツール_%1").arg(first + row * 7, 7, 10, QChar(u'0'));
                const QString category = QStringLiteral("分類%1").arg((first + row * 7) / 100 + 1, 5, 10, QChar(u'0'));
                texts[0] << name;
                texts[1] << name + QStringLiteral(".vbp");
                texts[2] << QStringLiteral("/work/bench-open/tree/開発資産/業務アプリケーション群/在庫管理システム/") + category
                                + u'/' + name;
                texts[3] << name + QStringLiteral(".exe");
                texts[4] << QStringLiteral("最新");
                texts[5] << category;
            }
            const auto elided = [&](int column, int row) {
                return metrics.elidedText(texts[column][row], column == 2 ? Qt::ElideMiddle : Qt::ElideRight,
                                          widths[column] - 8);
            };
            QStringList shown[6];
            for (int column = 0; column < 6 && !cut; ++column)
                for (int row = 0; row < kRows; ++row)
                    shown[column] << elided(column, row);
            const double start = ThreadCpuMs();
            QPainter painter(&image);
            painter.fillRect(image.rect(), Qt::white);
            painter.setPen(Qt::black);
            for (int row = 0; row < kRows; ++row) {
                int x = 0;
                for (int column = 0; column < 6; ++column) {
                    const QString text = cut ? elided(column, row) : shown[column][row];
                    for (const QGlyphRun &run : Shaped(text, font))
                        painter.drawGlyphRun(QPointF(x + 4, row * kRowHeight + 3), run);
                    x += widths[column];
                }
            }
            painter.end();
            times << ThreadCpuMs() - start;
        }
        std::sort(times.begin(), times.end());
        std::printf("%s: min %.2f median %.2f max %.2f ms\n",
                    cut ? "cut as the style cuts, shaped, drawn" : "the visible texts shaped once and drawn",
                    times.first(), times[times.size() / 2], times.last());
    }
    return 0;
}
