#pragma once

#include "support/FileDialogRules.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class QFileDialog;

// The Open and Save As file dialogs behind a small property interface. Create
// one per use: set Form, DialogTitle, Filter, FilterIndex, flags, InitDir,
// FileName and CancelError; call ShowOpen or ShowSave; read CancelButton, then
// FileName. Qt's own (non-native) file dialog is shown, modal to Form.
class cCommonDlg {
public:
    // Answers a dialog in place of the user: the chosen absolute paths, or
    // std::nullopt for Cancel. Set by tests; unset, the real dialog is shown.
    using Answerer = std::function<std::optional<QStringList>(const support::FileDialogRequest &)>;
    static void SetAnswerer(Answerer answerer);
    static void ResetAnswerer();

    cCommonDlg();

    QString Filter() const { return filter_; }
    void SetFilter(const QString &filter);
    // The filter in the platform's NUL-separated form.
    QString PlatformFilter() const { return platformFilter_; }

    quint32 flags() const { return flags_; }
    void SetFlags(quint32 flags) { flags_ = flags; }

    QString DialogTitle() const { return dialogTitle_; }
    void SetDialogTitle(const QString &title) { dialogTitle_ = title; }

    void ShowOpen();
    void ShowSave();

    qint32 MaxFileSize() const { return maxFileSize_; }
    void SetMaxFileSize(qint32 size) { maxFileSize_ = size; }

    QString InitDir() const { return initDir_; }
    void SetInitDir(const QString &folder) { initDir_ = folder; }

    // After a successful dialog: one full path, or the folder and the chosen
    // names separated by NUL characters (several files chosen).
    QString FileName() const { return fileName_; }
    void SetFileName(const QString &fileName) { fileName_ = fileName; }

    qint16 FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(qint16 index) { filterIndex_ = index; }

    QString DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const QString &extension) { defaultExt_ = extension; }

    // The chosen file's name without its folder after a successful dialog.
    QString FileTitle() const { return fileTitle_; }
    void SetFileTitle(const QString &title) { fileTitle_ = title; }

    QWidget *Form() const { return form_; }
    void SetForm(QWidget *form) { form_ = form; }

    bool CancelError() const { return cancelError_; }
    void SetCancelError(bool value) { cancelError_ = value; }

    // The set-up every command of the program uses: owner, title, filter, flags and
    // starting folder, with a cancelled dialog reported through CancelButton.
    void Prepare(QWidget *form, const QString &title, const QString &filter, qint16 filterIndex, quint32 flags,
                 const QString &initDir)
    {
        SetForm(form);
        SetDialogTitle(title);
        SetFilter(filter);
        SetFilterIndex(filterIndex);
        SetFlags(flags);
        SetInitDir(initDir);
        SetCancelError(true);
    }

    qint16 Action() const { return action_; }
    // Stores the value; 1 runs ShowOpen, 2 runs ShowSave, anything else nothing.
    void SetAction(qint16 action);

    bool CancelButton() const { return cancelButton_; }
    QString ErrDescription() const { return support::ErrDescription(errNumber_); }
    qint32 ErrNumber() const { return errNumber_; }

    // The request the next dialog would be shown with.
    support::FileDialogRequest Request(qint16 action) const;

    // Sets up a Qt file dialog for a request (used by the real dialog; tests
    // check it without showing it).
    static void Configure(QFileDialog &dialog, const support::FileDialogRequest &request);

private:
    void Run(qint16 action);
    static std::optional<QStringList> ShowDialog(QWidget *owner, const support::FileDialogRequest &request);

    QPointer<QWidget> form_;
    qint32 lastResult_ = 0;
    qint32 errNumber_ = 0;
    bool cancelButton_ = false;
    qint16 action_ = 0;
    bool cancelError_ = false;
    QString platformFilter_;
    QString filter_;
    qint32 maxFileSize_ = 255;
    QString dialogTitle_ = QStringLiteral("Open File");
    QString initDir_;
    QString fileName_;
    qint16 filterIndex_ = 0;
    quint32 flags_ = 0;
    QString defaultExt_ = QString(QChar(u'\0'));
    QString fileTitle_ = QString(254, u' ');
};
