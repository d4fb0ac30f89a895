#include "support/ui/cCommonDlg.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>

using namespace support;

namespace {

cCommonDlg::Answerer &answerer()
{
    static cCommonDlg::Answerer instance;
    return instance;
}

// Qt's dialog does not check the folder of a typed name; the Windows option
// "path must exist" does, so the dialog stays open until the folder is right.
class FileDialog final : public QFileDialog {
public:
    FileDialog(QWidget *parent, bool pathMustExist) : QFileDialog(parent), pathMustExist_(pathMustExist) {}

    void accept() override
    {
        // Names typed in quotes are the choice: Qt's list keeps only some of them selected as
        // they are typed, and takes its selection over the typed names.
        if (fileMode() == QFileDialog::ExistingFiles)
            if (const auto *box = findChild<QLineEdit *>(QStringLiteral("fileNameEdit")); box && box->text().contains(u'"'))
                if (const auto *list = findChild<QAbstractItemView *>(QStringLiteral("listView")); list && list->selectionModel())
                    list->selectionModel()->clearSelection();
        if (pathMustExist_) {
            for (const QString &file : selectedFiles()) {
                const QFileInfo info(file);
                if (info.isDir() || QFileInfo(info.absolutePath()).isDir())
                    continue;
                QMessageBox box(QMessageBox::Warning, windowTitle(),
                                QDir::toNativeSeparators(info.absolutePath())
                                    + QStringLiteral("\nパスが存在しません。\n正しいパスを指定してください。"),
                                QMessageBox::Ok, this);
                box.exec();
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    bool pathMustExist_;
};

// Qt's file list gives dates and sizes in the system's locale and names folders in English;
// the program speaks Japanese throughout, whatever the system's locale.
class JapaneseFileList final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        switch (index.column()) {
        case 1:
            return files->isDir(source) ? QString() : FileSizeText(files->size(source), QLocale());
        case 2:
            if (files->isDir(source))
                return QStringLiteral("フォルダー");
            break;
        case 3:
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        default:
            break;
        }
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

void cCommonDlg::SetAnswerer(Answerer answerer_) { answerer() = std::move(answerer_); }

void cCommonDlg::ResetAnswerer() { answerer() = nullptr; }

cCommonDlg::cCommonDlg()
    : platformFilter_(support::PlatformFilter(QStringLiteral("All Files (*.*)|*.*"))), initDir_(QDir::currentPath())
{
}

void cCommonDlg::SetFilter(const QString &filter)
{
    filter_ = filter;
    platformFilter_ = support::PlatformFilter(filter);
}

void cCommonDlg::ShowOpen() { Run(ActionOpen); }

void cCommonDlg::ShowSave() { Run(ActionSave); }

void cCommonDlg::SetAction(qint16 action)
{
    action_ = action;
    if (action == ActionOpen)
        ShowOpen();
    else if (action == ActionSave)
        ShowSave();
}

FileDialogRequest cCommonDlg::Request(qint16 action) const
{
    FileDialogRequest request;
    request.action = action;
    request.title = dialogTitle_;
    request.initialFolder = initDir_;
    request.proposedName = ProposedFileName(fileName_, maxFileSize_);
    request.filters = FilterPairs(platformFilter_);
    request.selectedFilter = SelectedFilter(filterIndex_, request.filters.size());
    request.flags = flags_;
    QString suffix = defaultExt_;
    suffix.remove(QChar(u'\0'));
    while (suffix.startsWith(u'.'))
        suffix.remove(0, 1);
    request.defaultSuffix = suffix;
    request.maxFileSize = maxFileSize_;
    return request;
}

void cCommonDlg::Run(qint16 action)
{
    action_ = action;
    lastResult_ = 0;
    errNumber_ = dlgerr::None;
    // No owner or no buffer: nothing is shown and nothing changes.
    if (!form_ || maxFileSize_ < 1)
        return;

    const FileDialogRequest request = Request(action);
    const std::optional<QStringList> chosen = answerer() ? answerer()(request) : ShowDialog(form_, request);

    DialogResult result;
    if (chosen)
        result = ChosenFiles(*chosen, request.multiSelect(), maxFileSize_);
    if (result.ok) {
        lastResult_ = 1;
        fileName_ = result.fileName;
        fileTitle_ = result.fileTitle.trimmed();
        return;
    }
    errNumber_ = chosen ? result.errNumber : dlgerr::None;
    if (cancelError_) {
        cancelButton_ = true;
        fileName_ = QStringLiteral("");
    }
}

void cCommonDlg::Configure(QFileDialog &dialog, const FileDialogRequest &request)
{
    const bool save = request.action == ActionSave;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (!dynamic_cast<JapaneseFileList *>(dialog.proxyModel()))
        dialog.setProxyModel(new JapaneseFileList(&dialog));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else if (request.multiSelect())
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else if (request.flags & ofn::FileMustExist)
        dialog.setFileMode(QFileDialog::ExistingFile);
    else
        dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && (request.flags & ofn::OverwritePrompt)));

    QString title = request.title;
    if (title.isEmpty())
        title = save ? QStringLiteral("名前を付けて保存") : QStringLiteral("開く");
    dialog.setWindowTitle(title);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("ファイルの場所:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名(&N):"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類(&T):"));
    dialog.setLabelText(QFileDialog::Accept, save ? QStringLiteral("保存(&S)") : QStringLiteral("開く(&O)"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    // A label shows its access key only when it has a control to go to; Qt's file-type label has
    // none and would show "(&T)" as typed.
    if (auto *typeLabel = dialog.findChild<QLabel *>(QStringLiteral("fileTypeLabel")); typeLabel && !typeLabel->buddy())
        typeLabel->setBuddy(dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo")));

    if (!request.initialFolder.isEmpty())
        dialog.setDirectory(request.initialFolder);
    QStringList nameFilters;
    for (const FilterPair &pair : request.filters)
        nameFilters.append(NameFilter(pair));
    if (!nameFilters.isEmpty()) {
        dialog.setNameFilters(nameFilters);
        dialog.selectNameFilter(nameFilters.at(request.selectedFilter < 0 ? 0 : request.selectedFilter));
    }
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.proposedName.isEmpty())
        dialog.selectFile(request.proposedName);
}

std::optional<QStringList> cCommonDlg::ShowDialog(QWidget *owner, const FileDialogRequest &request)
{
    FileDialog dialog(owner, (request.flags & ofn::PathMustExist) != 0);
    Configure(dialog, request);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedFiles();
}
