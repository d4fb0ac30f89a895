#include "tooling/ui/BuildProgress.h"

#include "platform/Twips.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

BuildProgress::BuildProgress(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fBuild")); // the name it has always been found by
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    lblProject = new QLabel(this);
    lblProject->setObjectName(QStringLiteral("lblProject"));
    lblProject->setTextFormat(Qt::PlainText);
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lblCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblOrder = new QLabel(this);
    lblOrder->setObjectName(QStringLiteral("lblOrder"));
    lblOrder->setTextFormat(Qt::PlainText);
    lblOrder->setWordWrap(true);
    lblOrder->hide();
    prgBuild = new QProgressBar(this);
    prgBuild->setObjectName(QStringLiteral("prgBuild"));
    prgBuild->setTextVisible(false);
    prgBuild->setAccessibleName(QStringLiteral("作成の進み具合"));
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { Q_EMIT CancelRequested(); });

    auto *top = new QHBoxLayout;
    top->addWidget(lblProject, 1);
    top->addWidget(lblCount);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(prgBuild);
    layout->addWidget(lblOrder);
    layout->addLayout(bottom);
    // Wide enough for a long project name; the label elides nothing, it wraps no line either.
    setMinimumWidth(platform::TwipsToPixels(5400));
}

void BuildProgress::ShowLooking(const QString &category, int projects)
{
    setWindowTitle(QStringLiteral("実行ﾌｧｲﾙ作成　[") + category + u']');
    lblProject->setText(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄを確認しています..."));
    lblCount->setText(QString::number(projects) + QStringLiteral(" 件"));
    prgBuild->setRange(0, 0); // busy
    cmdCancel->setEnabled(true);
}

void BuildProgress::ShowOrder(const QStringList &order, const QList<QStringList> &cycles)
{
    // Up to a screenful; the rest is counted.
    constexpr qsizetype kShown = 20;
    QString text = QStringLiteral("作成順:");
    for (qsizetype i = 0; i < order.size() && i < kShown; ++i)
        text += u'\n' + QString::number(i + 1) + QStringLiteral(". ") + order[i];
    if (order.size() > kShown)
        text += QStringLiteral("\nほか ") + QString::number(order.size() - kShown) + QStringLiteral(" 件");
    for (const QStringList &cycle : cycles)
        text += QStringLiteral("\n循環参照 (一覧の順): ") + cycle.join(QStringLiteral("、"));
    lblOrder->setText(text);
    lblOrder->setVisible(!order.isEmpty());
    adjustSize();
}

void BuildProgress::ShowBuilding(int number, int total, const QString &project)
{
    lblProject->setText(project + QStringLiteral(" を作成中"));
    lblCount->setText(QString::number(number) + QStringLiteral(" / ") + QString::number(total));
    prgBuild->setRange(0, total);
    prgBuild->setValue(number - 1);
}

void BuildProgress::ShowCancelling()
{
    lblProject->setText(QStringLiteral("中止しています..."));
    cmdCancel->setEnabled(false);
}

void BuildProgress::closeEvent(QCloseEvent *event)
{
    // The window stays until the run has ended; closing it asks for that.
    event->ignore();
    Q_EMIT CancelRequested();
}

void BuildProgress::reject() { Q_EMIT CancelRequested(); }
