#include "dialogs/DialogLayout.h"

#include "platform/Twips.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

using platform::PixelsToTwips;
using platform::TwipsToPixels;

namespace dialogs {

QPushButton *MakeButton(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    return Placed(new QPushButton(text, parent), name, geometry);
}

QFont DialogFont(bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(9.75);
    font.setBold(bold);
    return font;
}

namespace {

// Width the control needs for its text on one line, and the width it has.
bool TextTooWide(const QWidget *control)
{
    if (const auto *box = qobject_cast<const QGroupBox *>(control))
        return box->fontMetrics().horizontalAdvance(box->title()) + 16 > box->width();
    return control->sizeHint().width() > control->width();
}

constexpr int kNarrowestStretch = 60;

} // namespace

void FitTexts(QWidget *root)
{
    QList<QWidget *> controls;
    for (QWidget *child : root->findChildren<QWidget *>()) {
        if (dynamic_cast<WrappingCheckBox *>(child))
            continue;
        if (qobject_cast<QLabel *>(child) || qobject_cast<QCheckBox *>(child) || qobject_cast<QRadioButton *>(child)
            || qobject_cast<QGroupBox *>(child))
            controls.append(child);
    }
    for (QWidget *control : controls) {
        // A label lower than its line (the fallback font's line is taller) grows about its middle,
        // so that no descender is cut.
        if (auto *label = qobject_cast<QLabel *>(control)) {
            const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
            if (const int missing = needed - label->height(); missing > 0)
                label->setGeometry(label->x(), label->y() - missing / 2, label->width(), label->height() + missing);
        }
        QFont font = control->font();
        int stretch = 100;
        while (TextTooWide(control) && stretch > kNarrowestStretch) {
            stretch -= 2;
            font.setStretch(stretch);
            control->setFont(font);
        }
    }
}

namespace {

// The caption cut into lines no wider than width, breaking between any two characters (the
// captions are Japanese) and keeping surrogate pairs whole.
QStringList BreakLines(const QString &text, const QFontMetrics &metrics, int width)
{
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QString next = line + text.mid(i, length);
        if (!line.isEmpty() && metrics.horizontalAdvance(next) > width) {
            lines.append(line);
            line = text.mid(i, length);
        } else {
            line = next;
        }
        i += length;
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

} // namespace

void WrappingCheckBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_CheckBox, option);
    option.text = caption;
    const QRect contents = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);

    // As many lines as the box's height holds at the font's size; the font narrows until the
    // caption fits into them.
    QFont font = this->font();
    const int pixelSize = QFontInfo(font).pixelSize();
    const int maxLines = qMax(1, contents.height() / qMax(1, pixelSize));
    QStringList lines;
    for (int stretch = 100; stretch >= kNarrowestStretch; stretch -= 2) {
        font.setStretch(stretch);
        lines = BreakLines(caption, QFontMetrics(font), contents.width());
        if (lines.size() <= maxLines)
            break;
    }
    painter.setFont(font);
    painter.setPen(option.palette.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QFontMetrics metrics(font);
    const int pitch = qMin(metrics.lineSpacing(), contents.height() / qMax<int>(1, int(lines.size())));
    int y = contents.top() + (contents.height() - pitch * int(lines.size())) / 2;
    for (const QString &line : lines) {
        painter.drawText(QRect(contents.left(), y, contents.width(), pitch), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += pitch;
    }
}

void WidenToShow(QDialog *dialog, const QLineEdit *box, std::initializer_list<QWidget *> grow,
                 std::initializer_list<QWidget *> shift)
{
    const QFontMetrics metrics = box->fontMetrics();
    const int needed = metrics.horizontalAdvance(box->text()) + 4 * metrics.averageCharWidth();
    const QScreen *screen = dialog->parentWidget() ? dialog->parentWidget()->screen() : dialog->screen();
    const int most = screen ? screen->availableGeometry().width() * 9 / 10 : dialog->width();
    const int extra = qBound(0, needed - box->width(), qMax(0, most - dialog->width()));
    if (extra == 0)
        return;
    dialog->setFixedSize(dialog->width() + extra, dialog->height());
    for (QWidget *control : grow)
        control->resize(control->width() + extra, control->height());
    for (QWidget *control : shift)
        control->move(control->x() + extra, control->y());
}

void SetFixedDialogFrame(QDialog *dialog, qint32 clientWidth, qint32 clientHeight)
{
    dialog->setFixedSize(TwipsToPixels(clientWidth), TwipsToPixels(clientHeight));
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setSizeGripEnabled(false);
}

} // namespace dialogs
