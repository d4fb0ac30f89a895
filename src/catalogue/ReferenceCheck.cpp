#include "catalogue/ReferenceCheck.h"

#include "platform/Wine.h"
#include "tooling/IdeCommand.h"

#include <QDir>
#include <QFileInfo>

namespace catalogue {

namespace {

// What ReferenceText adds for a file gone, as UTF-8 in the missing texts a look keeps.
constexpr char kFileMissing[] = " (ﾌｧｲﾙなし)";

bool isDriveLetter(QChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

} // namespace

bool NamesMissingFile(QByteArrayView missingTexts) { return missingTexts.contains(QByteArrayView(kFileMissing)); }

QString ReferenceStateText(ReferenceState state)
{
    switch (state) {
    case ReferenceState::Unchecked:
        return QStringLiteral("未確認");
    case ReferenceState::Present:
        return QStringLiteral("登録済み");
    case ReferenceState::NotRegistered:
        return QStringLiteral("未登録");
    case ReferenceState::FileMissing:
        break;
    }
    // Without the blank and brackets the missing texts hold it in.
    return QString::fromUtf8(kFileMissing).mid(2).chopped(1);
}

QString ReferenceText(const ProjectReference &reference, ReferenceState state)
{
    switch (state) {
    case ReferenceState::NotRegistered:
    case ReferenceState::FileMissing:
        return reference.Label() + QStringLiteral(" (") + ReferenceStateText(state) + u')';
    case ReferenceState::Unchecked:
    case ReferenceState::Present:
        break;
    }
    return reference.Label();
}

QString WinePrefixOfIde(const QString &ideCommand)
{
    const QStringList wine = idecommand::WineWords(idecommand::Parse(ideCommand));
    return wine.isEmpty() ? QString() : platform::WinePrefixOf(wine);
}

ReferenceCheck::ReferenceCheck(QString prefix, std::shared_ptr<const platform::TypeLibTable> typeLibs)
    : prefix_(std::move(prefix)), typeLibs_(std::move(typeLibs))
{
}

ReferenceState ReferenceCheck::StateOf(const ProjectReference &reference)
{
    if (reference.malformed || reference.kind == ProjectReference::Kind::Project
        || reference.guid.size() != qsizetype(ReferenceKey().guid.size()))
        return ReferenceState::Unchecked;
    ReferenceKey key;
    for (qsizetype i = 0; i < reference.guid.size(); ++i)
        key.guid[size_t(i)] = char(reference.guid[i].toLatin1());
    key.major = reference.major;
    key.minor = reference.minor;
    return stateOf(key);
}

ReferenceState ReferenceCheck::stateOf(const ReferenceKey &key)
{
    if (const auto known = known_.constFind(key); known != known_.constEnd())
        return *known;
    // A control's file lying in system32 tells nothing: the IDE loads what the registry names.
    const QString guid = QString::fromLatin1(key.guid.data(), qsizetype(key.guid.size()));
    const auto registered = typeLibs_ ? typeLibs_->Match(guid, key.major, key.minor) : std::nullopt;
    const ReferenceState state = !registered                                 ? ReferenceState::NotRegistered
                                 : FileInPrefix(registered->win32).isEmpty() ? ReferenceState::FileMissing
                                                                             : ReferenceState::Present;
    known_.insert(key, state);
    return state;
}

namespace {

bool isMissing(ReferenceState state)
{
    return state == ReferenceState::NotRegistered || state == ReferenceState::FileMissing;
}

} // namespace

QStringList ReferenceCheck::MissingTexts(const QList<ProjectReference> &references)
{
    QStringList texts;
    for (const ProjectReference &reference : references)
        if (const ReferenceState state = StateOf(reference); isMissing(state))
            texts.append(ReferenceText(reference, state));
    return texts;
}

QStringList ReferenceCheck::MissingIn(QByteArrayView vbp)
{
    QStringList texts;
    ForEachReferenceLine(vbp, [&](QByteArrayView line) {
        // Only a missing one is read whole, for its name.
        const auto key = ReferenceKeyOfLine(line);
        if (!key)
            return;
        const ReferenceState state = stateOf(*key);
        if (!isMissing(state))
            return;
        std::pair<QByteArray, QString> &known = texts_[*key];
        if (known.first != line)
            known = {line.toByteArray(), ReferenceText(*ReferenceOfLine(line), state)};
        texts.append(known.second);
    });
    return texts;
}

QString ReferenceCheck::driveFolder(QChar letter)
{
    if (const auto known = drives_.constFind(letter); known != drives_.constEnd())
        return *known;
    const QDir prefix(prefix_);
    QString folder = prefix.filePath(QStringLiteral("dosdevices/") + letter + u':');
    if (!QFileInfo(folder).isDir()) {
        // A prefix whose dosdevices are gone still has its C: drive where Wine makes it.
        folder = letter == u'c' ? prefix.filePath(QStringLiteral("drive_c")) : QString();
        if (!folder.isEmpty() && !QFileInfo(folder).isDir())
            folder.clear();
    }
    drives_.insert(letter, folder);
    return folder;
}

QString ReferenceCheck::FileInPrefix(const QString &windowsPath)
{
    QString path = windowsPath.trimmed();
    path.replace(u'/', u'\\');
    if (path.isEmpty())
        return QString();
    if (!path.contains(u'\\') && !path.contains(u':')) {
        // A bare name: where a search for a system file finds it.
        for (const QLatin1StringView folder : {QLatin1StringView("C:\\windows\\system32\\"), QLatin1StringView("C:\\windows\\")})
            if (QString found = FileInPrefix(folder + path); !found.isEmpty())
                return found;
        return QString();
    }
    // Only drive paths: a share or a relative path has no place in the prefix.
    if (path.size() < 4 || path[1] != u':' || path[2] != u'\\' || !isDriveLetter(path[0]))
        return QString();
    const QChar letter = path[0].toLower();
    const QString drive = driveFolder(letter);
    if (drive.isEmpty())
        return QString();
    QString rest = path.mid(3);
    static const QLatin1StringView kSystem32("windows\\system32\\");
    if (letter == u'c' && rest.startsWith(kSystem32, Qt::CaseInsensitive)) {
        if (wow64_ < 0)
            wow64_ = QFileInfo(drive + QStringLiteral("/windows/syswow64")).isDir() ? 1 : 0;
        if (wow64_)
            rest = QStringLiteral("windows\\syswow64\\") + rest.mid(kSystem32.size());
    }
    rest.replace(u'\\', u'/');
    QString found;
    const platform::FileStamp stamp = folding_.Stat(QDir::cleanPath(drive + u'/' + rest), &found);
    return stamp.regular ? found : QString();
}

} // namespace catalogue
