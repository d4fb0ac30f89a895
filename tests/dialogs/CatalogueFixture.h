#pragma once

// A catalogue file with three categories in a temporary folder, loaded into the shared state,
// and the main window's project list as the dialogs see it.
//
//   [Tools]  Calc=$R/Calc/Calc.vbp, Memo Pad=$R/Memo/Memo.vbp
//   [Games]  Puzzle=$R/Puzzle/Puzzle.vbp
//   [Empty]
//
// $R stands for the folder in expected file contents. Each .vbp names its executable <Folder>App.exe.

#include "catalogue/CatalogueFile.h"
#include "common/ScriptedUserInterface.h"
#include "catalogue/CatalogueModels.h"
#include "catalogue/cVbAnalyze.h"
#include "settings/Settings.h"
#include "platform/IniStore.h"
#include "support/ui/cCommonDlg.h"
#include "tooling/mFunction.h"
#include "common/ResetGlobals.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

class CatalogueFixture {
public:
    CatalogueFixture()
    {
        ResetGlobals();
        cCommonDlg::ResetAnswerer();
    }
    ~CatalogueFixture()
    {
        // Writable again, so that the folder can be removed.
        QFile::setPermissions(CatalogueFile(), QFile::ReadOwner | QFile::WriteOwner);
        ResetGlobals();
        cCommonDlg::ResetAnswerer();
    }

    bool Setup()
    {
        if (!dir_.isValid())
            return false;
        for (const QString &name : {QStringLiteral("Calc"), QStringLiteral("Memo"), QStringLiteral("Puzzle"),
                                    QStringLiteral("Other")}) {
            if (!MakeProject(name))
                return false;
        }
        if (!Write(Expand("[Tools]\r\nCalc=$R/Calc/Calc.vbp\r\nMemo Pad=$R/Memo/Memo.vbp\r\n"
                          "[Games]\r\nPuzzle=$R/Puzzle/Puzzle.vbp\r\n[Empty]\r\n")))
            return false;
        catalogue::State().CatalogueFilePath = CatalogueFile();
        return catalogue::LoadCategories() == 3;
    }

    // Selects a project as a click on its row does, and lists its category as the main window does.
    void Select(qint32 category, qint32 project, catalogue::ProjectListModel *list)
    {
        catalogue::State().CurrentCategory = category;
        catalogue::State().CurrentProject = project;
        list->ShowCategory(catalogue::State().CategoryAt(category));
    }

    QString Root() const { return dir_.path(); }
    QString Path(const QString &relative) const { return dir_.filePath(relative); }
    QString CatalogueFile() const { return dir_.filePath(QStringLiteral("catalogue.zrd")); }

    QByteArray Expand(const char *text) const
    {
        return QString::fromUtf8(text).replace(QStringLiteral("$R"), Root()).toUtf8();
    }

    QByteArray Bytes() const
    {
        QFile file(CatalogueFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool Write(const QByteArray &bytes) const
    {
        QFile file(CatalogueFile());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    }

    bool MakeReadOnly() const
    {
        return QFile::setPermissions(CatalogueFile(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    }

    bool MakeProject(const QString &name) const
    {
        if (!QDir(Root()).mkpath(name))
            return false;
        QFile file(Path(name + u'/' + name + QStringLiteral(".vbp")));
        const QByteArray text = "Type=Exe\r\nName=\"" + name.toUtf8() + "\"\r\nExeName32=\"" + name.toUtf8()
                                + "App.exe\"\r\n";
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }

private:
    QTemporaryDir dir_;
};

// What each dialog test starts from: the catalogue loaded, its first project selected and its
// category listed, the user's answers scripted. A test class derives from it and calls SetUp()
// from init() and TearDown() from cleanup().
struct DialogFixture {
    bool SetUp()
    {
        fixture_ = std::make_unique<CatalogueFixture>();
        if (!fixture_->Setup())
            return false;
        ui_ = std::make_unique<ScriptedUserInterface>();
        list_ = std::make_unique<catalogue::ProjectListModel>(catalogue::State());
        fixture_->Select(1, 1, list_.get());
        return true;
    }
    void TearDown()
    {
        list_.reset();
        ui_.reset();
        fixture_.reset();
    }

    std::unique_ptr<CatalogueFixture> fixture_;
    std::unique_ptr<ScriptedUserInterface> ui_;
    std::unique_ptr<catalogue::ProjectListModel> list_;
};

// Row r of the list (1-based) as its four column texts.
inline QStringList RowTexts(const catalogue::ProjectListModel &list, int row)
{
    if (row < 1 || row > list.rowCount())
        return {};
    QStringList texts;
    for (int column = 0; column < catalogue::ProjectListModel::StatusColumn; ++column)
        texts.append(list.Text(row, column));
    return texts;
}

// The widgets Tab reaches from start, in order, until it comes back to start.
inline QStringList TabSequence(QWidget *start)
{
    QStringList names;
    QWidget *widget = start;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && widget->isVisibleTo(start->window()))
            names.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget && widget != start && names.size() < 50);
    return names;
}
