#include "catalogue/CatalogueFile.h"

#include "catalogue/CatalogueMirror.h"
#include "catalogue/cVbAnalyze.h"
#include "platform/Backups.h"
#include "platform/FileSystem.h"
#include "platform/OffThread.h"
#include "platform/ProgramFolder.h"
#include "tooling/mFunction.h"


using platform::FileStamp;
using platform::IniDocument;
using platform::IniRead;
using platform::ReadStatus;

namespace catalogue {

namespace {

bool unreadable(ReadStatus status) { return status == ReadStatus::Unreadable || status == ReadStatus::TooLarge; }

using FileState = CatalogueState::FileState;

// The lists take what the read found; anything else leaves them as they are.
Followed takeRead(IniRead read)
{
    CatalogueState &state = State();
    if (read.status == ReadStatus::Ok || (read.status == ReadStatus::Missing && !state.Stamp.exists
                                          && state.File == FileState::Mirrored)) {
        // What the lists mirrored so far, while its bytes are compared with the new ones.
        IniDocument before = std::exchange(state.Document, std::move(read.document));
        state.Stamp = read.stamp;
        state.File = FileState::Mirrored;
        // Compared on the worker with this very document, or not at all.
        const platform::IniSectionsCompared *compared =
            read.compared && read.compared->before.SharesWith(before) ? read.compared.get() : nullptr;
        const bool changed = MirrorDocument(state.Document, &before, compared);
        read.compared.reset(); // its copy of the old document goes first: the worker frees the last
        // A large catalogue's sections take a while to free: not on the window's thread.
        platform::FreeElsewhere(std::move(before));
        return changed ? Followed::Changed : Followed::Same;
    }
    // Gone, or something the program cannot read in its place: what the lists show is kept for
    // Save to write back.
    const bool already = state.File == FileState::Lost;
    state.File = FileState::Lost;
    state.Stamp = read.stamp;
    return already ? Followed::StillLost : Followed::Lost;
}

FileProblem fromWrite(platform::WriteStatus status)
{
    switch (status) {
    case platform::WriteStatus::Ok:
        return FileProblem::None;
    case platform::WriteStatus::ReadOnly:
        return FileProblem::ReadOnly;
    case platform::WriteStatus::NotAFile:
        return FileProblem::NotAFile;
    case platform::WriteStatus::IoError:
        break;
    }
    return FileProblem::IoError;
}

// Set while this run writes its catalogue: what the file holds meanwhile is no other program's.
int writing = 0;
bool writingHeldForTesting = false;

// Replaces the file with the document, keeping the version it replaces among the backups first.
// The window keeps answering while a large catalogue is written.
FileProblem writeDocument(const QString &file, const IniDocument &document, FileStamp *stamp)
{
    QString backedUp;
    FileProblem problem = FileProblem::None;
    writing += 1;
    platform::RunWhileAnswering([&] {
        // Written from the document's own runs: a copy of a large catalogue costs more than its write.
        const std::vector<QByteArrayView> bytes = document.Pieces();
        const platform::BeforeReplace keepOld = [&backedUp](const QString &target, bool inPlace) {
            // A failed backup does not stop the change: the user asked for the change, not the backup.
            const FileStamp now = platform::StatFile(target);
            if (now.regular && now.size > 0
                && platform::KeepBackupOfFile(target, platform::IniStore::kMaxFileBytes, inPlace))
                backedUp = target;
        };
        problem = fromWrite(platform::WriteFileAtomically(file, bytes, keepOld));
    });
    writing -= 1;
    if (problem != FileProblem::None)
        return problem;
    if (!backedUp.isNull())
        platform::PruneBackupsLater(backedUp);
    *stamp = platform::StatFile(file);
    return FileProblem::None;
}

// The catalogue as the lists show it, key lines in list order. A category without projects has no
// section: a section exists only with a key.
bool putCatalogue(IniDocument &document)
{
    const CatalogueState &state = State();
    for (qint32 i = 1; i <= state.CategoryCount; ++i) {
        const cVbAnalyze *category = state.CategoryAt(i);
        for (qint32 j = 1; j <= category->Count(); ++j)
            if (document.SetValue(category->Category(), category->ProjectName(j), category->ProjectFile(j))
                == IniDocument::Change::Refused)
                return false;
    }
    return true;
}

void markWritten()
{
    const CatalogueState &state = State();
    for (qint32 i = 1; i <= state.CategoryCount; ++i)
        if (state.CategoryAt(i)->Count() > 0)
            state.CategoryAt(i)->SetInFile(true);
}

FileProblem lockProblem(CatalogueLock::Result result)
{
    return result == CatalogueLock::Result::Busy ? FileProblem::Busy : FileProblem::LockFailed;
}

FileProblem unreadableProblem()
{
    return State().LoadStatus == ReadStatus::TooLarge ? FileProblem::TooLarge : FileProblem::Unreadable;
}

} // namespace

PreparedCatalogue PrepareCatalogue(const QString &file)
{
    PreparedCatalogue prepared;
    prepared.read = platform::IniStore::Read(file);
    prepared.read.bytes.clear(); // the document keeps them
    if (file.isEmpty() || unreadable(prepared.read.status)) {
        prepared.read.document = IniDocument();
        return prepared;
    }
    const IniDocument &document = prepared.read.document;
    const QStringList names = document.SectionNames();
    prepared.categories.resize(size_t(names.size()) + 1);
    for (qsizetype i = 1; i <= names.size(); ++i) {
        prepared.categories[size_t(i)] = std::make_unique<cVbAnalyze>();
        prepared.categories[size_t(i)]->SetTexts(names[i - 1], CategoryTexts(document, names[i - 1]), false);
    }
    return prepared;
}

std::unique_ptr<cVbAnalyze> PrepareFirstCategory(const QString &file)
{
    // A first category of a few hundred projects fits the first step; a file that fits it whole is
    // read whole as quickly.
    for (const qint64 limit : {qint64(64) << 10, qint64(4) << 20}) {
        QByteArray bytes;
        FileStamp stamp;
        if (platform::ReadSmallFile(file, limit, &bytes, &stamp) != platform::FileKind::Regular
            || qsizetype(bytes.size()) < limit || stamp.size > platform::IniStore::kMaxFileBytes)
            return nullptr;
        // The first section ends where a second begins: a line the read's end cut lies beyond it.
        const IniDocument document = IniDocument::Parse(bytes);
        const QStringList names = document.SectionNames();
        if (names.size() < 2)
            continue;
        auto category = std::make_unique<cVbAnalyze>();
        category->SetTexts(names.front(), CategoryTexts(document, names.front()), false);
        return category;
    }
    return nullptr;
}

void ShowFirstCategory(std::unique_ptr<cVbAnalyze> category)
{
    CatalogueState &state = State();
    state.LoadStatus = ReadStatus::Ok;
    state.Stamp = FileStamp();
    state.File = FileState::Reading;
    state.Document = IniDocument();
    std::vector<std::unique_ptr<cVbAnalyze>> categories(1);
    categories.push_back(std::move(category));
    state.ReplaceCategories(std::move(categories));
}

qint32 LoadCategories() { return LoadCategories(PrepareCatalogue(State().CatalogueFilePath)); }

qint32 LoadCategories(PreparedCatalogue prepared)
{
    CatalogueState &state = State();
    const QString &file = state.CatalogueFilePath;
    const bool firstShown = state.File == FileState::Reading && state.CategoryCount == 1;
    // Prepared for another file, or one the file has moved on from since: prepared again.
    if (prepared.read.file != file || platform::StatFile(file) != prepared.read.stamp)
        prepared = PrepareCatalogue(file);
    IniRead &read = prepared.read;
    state.LoadStatus = file.isEmpty() ? ReadStatus::Missing : read.status;
    state.Stamp = read.stamp;
    state.File = unreadable(state.LoadStatus) ? FileState::Unreadable : FileState::Mirrored;
    state.Document = std::move(read.document);
    const qint32 n = prepared.categories.empty() ? 0 : qint32(prepared.categories.size()) - 1;
    if (n <= 0) {
        // Nothing to show; the objects stay until they are replaced.
        Q_EMIT state.CategoriesAboutToBeReset();
        state.CategoryCount = 0;
        Q_EMIT state.CategoriesReset();
        return 0;
    }
    // The first category shown meanwhile keeps its records, and what was found about them.
    if (firstShown)
        prepared.categories[1]->TakeRecordsOf(*state.CategoryAt(1));
    // One swap: the lists are told once, whatever the size.
    state.ReplaceCategories(std::move(prepared.categories));
    return n;
}

ReadStatus LastLoadStatus() { return State().LoadStatus; }

QString LoadFailureMessage(const QString &path, ReadStatus status)
{
    switch (status) {
    case ReadStatus::TooLarge:
        return path + QStringLiteral(" は大きすぎるため読み込めません。ﾌｧｲﾙは変更しません。");
    case ReadStatus::Unreadable:
        return path + QStringLiteral(" を読み込めません。ﾌｧｲﾙは変更しません。");
    case ReadStatus::Ok:
    case ReadStatus::Missing:
        break;
    }
    return QString();
}

void ClearCategories()
{
    CatalogueState &state = State();
    state.ReplaceCategories({});
    state.CurrentCategory = 0;
    state.CurrentProject = 0;
    state.Document = IniDocument();
    state.Stamp = FileStamp();
    state.File = FileState::Mirrored;
    state.LoadStatus = ReadStatus::Missing;
}

Followed FollowFile()
{
    CatalogueState &state = State();
    const QString &file = state.CatalogueFilePath;
    if (file.isEmpty() || state.File == FileState::Unreadable || state.File == FileState::Reading || writing > 0)
        return Followed::Same;
    const FileStamp now = platform::StatFile(file);
    if (now == state.Stamp)
        return state.File == FileState::Lost ? Followed::StillLost : Followed::Same;
    return takeRead(platform::IniStore::Read(file));
}

bool ChangeBeingWritten() { return writing > 0 || writingHeldForTesting; }

void HoldChangeBeingWrittenForTesting(bool held) { writingHeldForTesting = held; }

Followed FollowRead(IniRead read)
{
    CatalogueState &state = State();
    if (read.file != state.CatalogueFilePath || read.file.isEmpty() || state.File == FileState::Unreadable
        || state.File == FileState::Reading || read.stamp == state.Stamp || writing > 0)
        return Followed::Same;
    // The file moved on since this read (perhaps by this run's own change): the next look reads it.
    if (platform::StatFile(read.file) != read.stamp)
        return Followed::Same;
    return takeRead(std::move(read));
}

QString ProblemMessage(const QString &path, FileProblem problem)
{
    switch (problem) {
    case FileProblem::None:
        return QString();
    case FileProblem::NoFile:
        return QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙが決まっていないため、変更できませんでした。");
    case FileProblem::Unreadable:
        return path + QStringLiteral(" は読み込めなかったため、上書きしません。名前を付けて保存してください。");
    case FileProblem::TooLarge:
        return path + QStringLiteral(" は大きすぎて読み込めなかったため、上書きしません。名前を付けて保存してください。");
    case FileProblem::Missing:
        return path + QStringLiteral(" が見つかりません。他のﾌﾟﾛｸﾞﾗﾑで削除か移動されたようです。"
                                     "表示中の内容は「上書き保存」で書き戻せます。");
    case FileProblem::Replaced:
        return path + QStringLiteral(" は読み込めない内容に置き換えられています。"
                                     "表示中の内容は「上書き保存」で書き戻せます。");
    case FileProblem::Busy:
        return path + QStringLiteral(" は他のﾌﾟﾛｸﾞﾗﾑが書き込み中です。しばらくしてからやり直してください。");
    case FileProblem::LockFailed:
        return path + QStringLiteral(" をﾛｯｸできません。ﾌｫﾙﾀﾞの書き込み権限を確認してください。");
    case FileProblem::Reading:
        return path + QStringLiteral(" を読み込み中です。読み込みが終わってからやり直してください。");
    case FileProblem::ReadOnly:
        return path + QStringLiteral(" は書き込みできません。");
    case FileProblem::NotAFile:
        return path + QStringLiteral(" はﾌｧｲﾙではありません。");
    case FileProblem::BadText:
        return path + QStringLiteral(" に保存できない文字が含まれています。");
    case FileProblem::IoError:
        break;
    }
    return path + QStringLiteral(" に書き込めませんでした。ﾃﾞｨｽｸの空きや書き込み権限を確認してください。");
}

CatalogueEdit::~CatalogueEdit() = default;

bool CatalogueEdit::Begin()
{
    const CatalogueState &state = State();
    file_ = state.CatalogueFilePath;
    if (file_.isEmpty()) {
        problem_ = FileProblem::NoFile;
        return false;
    }
    if (state.File == FileState::Unreadable) {
        problem_ = unreadableProblem();
        return false;
    }
    if (state.File == FileState::Reading) {
        problem_ = FileProblem::Reading;
        return false;
    }
    if (const CatalogueLock::Result locked = lock_.Lock(file_); locked != CatalogueLock::Result::Locked) {
        problem_ = lockProblem(locked);
        return false;
    }
    followed_ = FollowFile() == Followed::Changed;
    if (state.File == FileState::Lost) {
        problem_ = state.Stamp.exists ? FileProblem::Replaced : FileProblem::Missing;
        lock_.Unlock();
        return false;
    }
    document_ = state.Document;
    return true;
}

bool CatalogueEdit::Commit()
{
    CatalogueState &state = State();
    FileStamp stamp;
    problem_ = writeDocument(file_, document_, &stamp);
    if (problem_ == FileProblem::None) {
        state.Document = std::move(document_);
        state.Stamp = stamp;
    }
    // Stamped before the lock goes: no other writer can have come in between.
    lock_.Unlock();
    return problem_ == FileProblem::None;
}

QString CatalogueEdit::Message() const { return ProblemMessage(file_, problem_); }

FileProblem SaveWholeCatalogue()
{
    CatalogueState &state = State();
    const QString file = state.CatalogueFilePath;
    if (file.isEmpty())
        return FileProblem::NoFile;
    if (state.File == FileState::Unreadable)
        return unreadableProblem();
    if (state.File == FileState::Reading)
        return FileProblem::None; // nothing can have changed: the file holds the catalogue
    CatalogueLock lock;
    if (const CatalogueLock::Result locked = lock.Lock(file); locked != CatalogueLock::Result::Locked)
        return lockProblem(locked);
    FollowFile();
    if (state.File == FileState::Mirrored && state.Stamp.exists)
        return FileProblem::None; // the file holds the catalogue already
    IniDocument document;
    if (!putCatalogue(document))
        return FileProblem::BadText;
    FileStamp stamp;
    if (const FileProblem problem = writeDocument(file, document, &stamp); problem != FileProblem::None)
        return problem;
    state.Document = std::move(document);
    state.Stamp = stamp;
    state.File = FileState::Mirrored;
    markWritten();
    return FileProblem::None;
}

FileProblem SaveCatalogueInto(const QString &path)
{
    CatalogueState &state = State();
    if (path.isEmpty())
        return FileProblem::NoFile;
    if (platform::SameFile(path, state.CatalogueFilePath))
        return SaveWholeCatalogue();
    if (state.File == FileState::Reading)
        return FileProblem::Reading; // the lists hold a part of the catalogue
    CatalogueLock lock;
    if (const CatalogueLock::Result locked = lock.Lock(path); locked != CatalogueLock::Result::Locked)
        return lockProblem(locked);
    IniRead read = platform::IniStore::Read(path);
    if (read.stamp.exists && !read.stamp.regular)
        return FileProblem::NotAFile;
    if (unreadable(read.status))
        return read.status == ReadStatus::TooLarge ? FileProblem::TooLarge : FileProblem::Unreadable;
    // Merged with what the file holds: a key there already takes this catalogue's path.
    IniDocument document = std::move(read.document);
    if (!putCatalogue(document))
        return FileProblem::BadText;
    FileStamp stamp;
    if (const FileProblem problem = writeDocument(path, document, &stamp); problem != FileProblem::None)
        return problem;
    state.CatalogueFilePath = path;
    state.LoadStatus = ReadStatus::Ok;
    state.Document = std::move(document);
    state.Stamp = stamp;
    state.File = FileState::Mirrored;
    markWritten();
    // What the other file held besides joins the lists.
    MirrorDocument(state.Document);
    return FileProblem::None;
}

QString WindowCaption(const QString &programName, const QString &catalogueFile)
{
    if (catalogueFile.isEmpty())
        return programName;
    return programName + QStringLiteral(" - (") + mFunction::GetFileName(catalogueFile) + QLatin1Char(')');
}

QString NewCatalogueFilePath() { return platform::JoinPath(platform::ProgramFolder(), QStringLiteral("NewFile.zrd")); }

} // namespace catalogue
