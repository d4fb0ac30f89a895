#pragma once

#include "catalogue/ReferenceTable.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

// The list of a project's references and controls, each with its state in the IDE's Wine prefix:
// which component a build would miss, and why. Read only.
class ReferenceList : public QDialog {
    Q_OBJECT
public:
    ReferenceList(QWidget *mainWindow, const QString &projectName, catalogue::ReferenceListing listing);

    // Reads the project's .vbp and the prefix's registry off this thread (the registry as the
    // background reader keeps it), then shows the list modally.
    // registry: the one the reader's looks keep (null without a Wine prefix).
    static void Run(QWidget *mainWindow, const QString &projectName, const QString &projectFile,
                    const std::shared_ptr<platform::WineRegistry> &registry);

    const catalogue::ReferenceTableModel &Model() const { return *model_; }

    QLabel *lblNote = nullptr;
    QTableView *lvwReferences = nullptr;
    QPushButton *cmdClose = nullptr;

private:
    catalogue::ReferenceTableModel *model_;
};
