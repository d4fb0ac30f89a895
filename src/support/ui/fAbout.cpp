#include "support/ui/fAbout.h"

#include "support/AboutRules.h"
#include "support/ui/AccessibleNames.h"
#include "support/ui/Placement.h"
#include "support/ui/ProgramIcon.h"
#include "platform/Twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

using namespace support;
using platform::TwipsRect;
using platform::TwipsToPixels;

namespace {

// The window's layout is kept in twips, as the rest of the program's windows.
constexpr qint32 kFormWidth = 5400;
constexpr qint32 kFormHeight = 2790;
constexpr qint32 kLine1Top = 1020;
constexpr qint32 kLine2Top = 1980;

QLabel *MakeLabel(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    return label;
}

} // namespace

fAbout::fAbout(QWidget *parent) : QDialog(parent)
{
    BuildControls();
    Form_Load();
}

fAbout::~fAbout() = default;

void fAbout::BuildControls()
{
    setFixedSize(TwipsToPixels(kFormWidth), TwipsToPixels(kFormHeight));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // The links go blue again when the pointer moves over the bare window.
    setMouseTracking(true);

    picIcon = new QLabel(this);
    picIcon->setGeometry(TwipsRect(240, 240, 540, 540));
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblAppTitle = MakeLabel(this, QStringLiteral("タイトル"), TwipsRect(1020, 180, 2400, 420));
    QFont titleFont = lblAppTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblAppTitle->setFont(titleFont);
    lblVersion = MakeLabel(this, QStringLiteral("Version"), TwipsRect(1020, 630, 2400, 270));

    lblTitle[0] = MakeLabel(this, QStringLiteral("アイコン募集中"), TwipsRect(3480, 630, 1800, 270));
    lblTitle[1] = MakeLabel(this, QStringLiteral("E-Mail"), TwipsRect(240, 1560, 900, 270));
    lblTitle[2] = MakeLabel(this, QStringLiteral("WebSite"), TwipsRect(240, 1200, 900, 270));

    lblUrl = MakeLabel(this, QStringLiteral("lblUrl"), TwipsRect(1200, 1200, 3900, 270));
    lblEmail = MakeLabel(this, QStringLiteral("lblEmail"), TwipsRect(1200, 1560, 3900, 270));

    Label1 = MakeLabel(this, QStringLiteral("ご意見・ご要望をお待ちしています。"), TwipsRect(240, 2190, 3720, 270));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setGeometry(TwipsRect(4080, 2130, 1095, 375));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &fAbout::cmdOK_Click);
    picIcon->setAccessibleName(QStringLiteral("ZARUN のアイコン"));
    NameControls(this);
}

void fAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    lblVersion->setText(ProgramVersionLine());
    lblAppTitle->setText(kAppTitle);

    // Drawn from the program's own resources, so the icon shows whatever the
    // current folder is.
    picIcon->clear();
    picIcon->setPixmap(ProgramIconImage());
    setWindowIcon(ProgramIcon());

    webLink_ = std::make_unique<cILink>();
    webLink_->SetInternetLink(lblUrl);
    webLink_->SetCaption(kWebAddress);
    webLink_->SetURL(kWebAddress);
    webLink_->SetToolTipText(QStringLiteral("最新情報はこちら"));

    mailLink_ = std::make_unique<cILink>();
    mailLink_->SetInternetLink(lblEmail);
    mailLink_->SetCaption(kMailAddress);
    mailLink_->SetURL(QStringLiteral("mailto:") + kMailAddress);
    mailLink_->SetToolTipText(QStringLiteral("要望・感想・バグ報告はこちら"));

    CentreOnScreen();
}

void fAbout::CentreOnScreen()
{
    const QRect screen = ScreenTwips(parentWidget());
    if (!screen.isNull())
        PlaceCentred(this, screen, OuterSizeTwips(this, parentWidget()));
}

void fAbout::mouseMoveEvent(QMouseEvent *event)
{
    // Moves over a control that passes them on do not count: only the bare window.
    if (!childAt(event->position().toPoint()))
        Form_MouseMove();
    QDialog::mouseMoveEvent(event);
}

void fAbout::Form_MouseMove()
{
    if (webLink_)
        webLink_->SetColour(cILink::LinkColour());
    if (mailLink_)
        mailLink_->SetColour(cILink::LinkColour());
}

void fAbout::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    // The two separators, drawn on the window itself as etched lines.
    QPainter painter(this);
    for (const qint32 top : {kLine1Top, kLine2Top}) {
        const int y = TwipsToPixels(top);
        const int left = TwipsToPixels(120);
        const int right = TwipsToPixels(kFormWidth - 120);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(left, y, right, y);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(left, y + 1, right, y + 1);
    }
}

void fAbout::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void fAbout::Form_Unload()
{
    webLink_.reset();
    mailLink_.reset();
}

void fAbout::cmdOK_Click() { accept(); }
