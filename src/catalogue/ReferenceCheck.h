#pragma once

#include "catalogue/ProjectReferences.h"
#include "catalogue/ProjectScan.h"
#include "platform/WineRegistry.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

// Whether the components a project refers to are there for the IDE under Wine: registered in the
// prefix for 32-bit programs, with a version the project can use, and their files on its drives.
namespace catalogue {

enum class ReferenceState : quint8 {
    Unchecked,     // nothing to look up: a project of the group, a line that could not be read
    Present,       // registered, and its file is there
    NotRegistered, // no version with the same major and at least the minor asked for
    FileMissing,   // registered, but the file it names is not on the prefix's drives
};

// The state in a word, as the texts below and the list of a project's references say it.
QString ReferenceStateText(ReferenceState state);
// As a tooltip names it: "MSCOMCTL.OCX (未登録)", "msado28.tlb (ﾌｧｲﾙなし)"; the bare label otherwise.
QString ReferenceText(const ProjectReference &reference, ReferenceState state);
// Whether those texts (UTF-8, as a look keeps them) name a registered file that is gone.
bool NamesMissingFile(QByteArrayView missingTexts);

// The Wine prefix the IDE command runs the IDE in (its WINEPREFIX, else the inherited one, else
// ~/.wine); empty when the command does not run through Wine (a native IDE, or none).
QString WinePrefixOfIde(const QString &ideCommand);

// Looks references up in one prefix. Each library is looked up once and each file found once for
// the life of the object: make one for a sweep over the catalogue, on the thread that uses it.
class ReferenceCheck {
public:
    // No I/O here: the table comes from WineRegistry::TypeLibs.
    ReferenceCheck(QString prefix, std::shared_ptr<const platform::TypeLibTable> typeLibs);

    ReferenceState StateOf(const ProjectReference &reference);
    // The texts of those that are missing, in the order given.
    QStringList MissingTexts(const QList<ProjectReference> &references);
    // The same for the references of a .vbp read whole, without making them all: what the
    // background reader calls on the bytes it has.
    QStringList MissingIn(QByteArrayView vbp);

    // The file a Windows path stands for in the prefix, as a 32-bit program sees it (system32 is
    // syswow64 in a 64-bit prefix; a bare name lies in the system folder), found ignoring letter
    // case; empty when it is not there.
    QString FileInPrefix(const QString &windowsPath);

private:
    QString driveFolder(QChar letter);
    ReferenceState stateOf(const ReferenceKey &key);

    QString prefix_;
    std::shared_ptr<const platform::TypeLibTable> typeLibs_;
    QHash<ReferenceKey, ReferenceState> known_;
    // The last missing one's line and text by library: most projects write a library's line alike.
    QHash<ReferenceKey, std::pair<QByteArray, QString>> texts_;
    QHash<QChar, QString> drives_;         // by lower-case letter; empty when the prefix has none
    int wow64_ = -1;                       // a 64-bit prefix: 32-bit system files in syswow64
    CaseFolding folding_;
};

} // namespace catalogue
