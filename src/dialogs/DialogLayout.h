#pragma once

#include "platform/Twips.h"
#include "support/ui/Placement.h"

#include <QCheckBox>
#include <QFont>
#include <QRect>
#include <QSize>

#include <initializer_list>

class QDialog;
class QLineEdit;
class QPushButton;
class QWidget;

// What the three dialogs share: twips geometry, the dialog font and the fixed frame.
namespace dialogs {

// A control's rectangle given in twips, in pixels.
using platform::TwipsRect;

// Names a new control and puts it where the form's layout says.
template <typename Control>
Control *Placed(Control *control, const QString &name, const QRect &geometry)
{
    control->setObjectName(name);
    control->setGeometry(geometry);
    return control;
}

QPushButton *MakeButton(QWidget *parent, const QString &name, const QString &text, const QRect &geometry);

// ＭＳ Ｐゴシック 9.75 pt, falling back to a Japanese gothic where it is not installed.
QFont DialogFont(bool bold = false);

// Narrows the font of each label, check box, option button and frame caption under root whose
// text is wider than the control, so that the whole text shows: the fallback font's kana are
// wider than those of the font the layout was made for.
void FitTexts(QWidget *root);

// A fixed dialog made wider, up to most of its screen's width, until the box shows its text whole:
// the boxes that grow take the width, the controls that shift keep their distance to the right edge.
void WidenToShow(QDialog *dialog, const QLineEdit *box, std::initializer_list<QWidget *> grow,
                 std::initializer_list<QWidget *> shift);

// Fixed dialog frame: the client area in twips, not resizable, no minimize, maximize or help button.
void SetFixedDialogFrame(QDialog *dialog, qint32 clientWidth, qint32 clientHeight);

// A check box whose caption wraps onto further lines within the box's height.
class WrappingCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace dialogs
