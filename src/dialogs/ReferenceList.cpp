#include "dialogs/ReferenceList.h"

#include "dialogs/DialogLayout.h"
#include "platform/OffThread.h"
#include "support/ui/AccessibleNames.h"
#include "support/ui/Placement.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

ReferenceList::ReferenceList(QWidget *mainWindow, const QString &projectName, catalogue::ReferenceListing listing)
    : QDialog(mainWindow), model_(new catalogue::ReferenceTableModel(this))
{
    setObjectName(QStringLiteral("fReferences"));
    setWindowTitle(QStringLiteral("参照の一覧　[") + projectName + u']');
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(dialogs::DialogFont());
    model_->SetListing(std::move(listing));

    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setTextFormat(Qt::PlainText);
    lblNote->setWordWrap(true);
    QString note = catalogue::ListingNote(model_->Listing());
    if (model_->rowCount() == 0 && model_->Listing().check != catalogue::ReferenceListing::Check::Unreadable)
        note += QStringLiteral("\n参照もコントロールもありません。");
    lblNote->setText(note);

    lvwReferences = new QTableView(this);
    lvwReferences->setObjectName(QStringLiteral("lvwReferences"));
    lvwReferences->setModel(model_);
    lvwReferences->setAccessibleName(QStringLiteral("参照とコントロール"));
    lvwReferences->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwReferences->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwReferences->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwReferences->setWordWrap(false);
    lvwReferences->setTextElideMode(Qt::ElideMiddle);
    lvwReferences->setShowGrid(false);
    lvwReferences->verticalHeader()->hide();
    lvwReferences->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    QHeaderView *header = lvwReferences->horizontalHeader();
    header->setHighlightSections(false);
    lvwReferences->resizeColumnsToContents();

    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setMinimumSize(platform::TwipsToPixels(1215), platform::TwipsToPixels(375));
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblNote);
    layout->addWidget(lvwReferences, 1);
    layout->addLayout(buttons);
    support::NameControls(this);

    const QScreen *screen = mainWindow ? mainWindow->screen() : QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableGeometry().size() - QSize(40, 80) : QSize(1024, 700);
    // The layout is not laid out before the dialog shows: its margins, not the widths now.
    const int around = layout->contentsMargins().left() + layout->contentsMargins().right()
                       + lvwReferences->frameWidth() * 2 + lvwReferences->verticalScrollBar()->sizeHint().width();
    // Each column as wide as what it says, within the screen: when it is narrower, the path and
    // then the name give way (cut in the middle, whole in their tooltips); the kind, the GUID and
    // the state always show whole.
    int over = around - available.width();
    for (int column = 0; column < model_->columnCount(); ++column)
        over += lvwReferences->columnWidth(column);
    const int least = platform::TwipsToPixels(1800);
    for (const int column : {catalogue::ReferenceTableModel::FileColumn, catalogue::ReferenceTableModel::NameColumn}) {
        const int give = qBound(0, over, qMax(0, lvwReferences->columnWidth(column) - least));
        lvwReferences->setColumnWidth(column, lvwReferences->columnWidth(column) - give);
        over -= give;
    }
    int tableWidth = around - layout->contentsMargins().left() - layout->contentsMargins().right();
    for (int column = 0; column < model_->columnCount(); ++column)
        tableWidth += lvwReferences->columnWidth(column);
    const int rows = qBound(4, model_->rowCount() + 1, 16);
    const int tableHeight = header->sizeHint().height() + rows * lvwReferences->verticalHeader()->defaultSectionSize()
                       + lvwReferences->frameWidth() * 2;
    // The dialog opens as large as that; the user may make it smaller.
    lvwReferences->setMinimumSize(tableWidth, qMin(tableHeight, available.height() / 2));
    adjustSize();
    lvwReferences->setMinimumSize(platform::TwipsToPixels(6000), platform::TwipsToPixels(1500));
    const QRect owner = mainWindow ? support::OuterTwips(mainWindow) : support::ScreenTwips(nullptr);
    support::PlaceCentred(this, owner, support::OuterSizeTwips(this, mainWindow));
    cmdClose->setFocus();
}

void ReferenceList::Run(QWidget *mainWindow, const QString &projectName, const QString &projectFile,
                        const std::shared_ptr<platform::WineRegistry> &registry)
{
    // The registry the looks keep: read again only when its files changed, and then off this thread.
    catalogue::ReferenceListing listing;
    platform::RunWhileAnswering([&] { listing = catalogue::ListReferences(projectFile, registry); });
    ReferenceList dialog(mainWindow, projectName, std::move(listing));
    dialog.exec();
}
