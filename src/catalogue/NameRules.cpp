#include "catalogue/NameRules.h"

#include "catalogue/cVbAnalyze.h"
#include "catalogue/mIniFile.h"
#include "platform/IniDocument.h"
#include "platform/TextCodec.h"

namespace catalogue {

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

bool hasBlankAtEnds(const QString &text)
{
    return !text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()));
}

bool hasLineBreakOrNul(const QString &text)
{
    for (QChar c : text)
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    return false;
}

// The open catalogue is asked through what this run holds of it, never by reading it again.
bool canHold(const QString &text, const QString &file)
{
    const CatalogueState &state = State();
    if (!file.isEmpty() && file == state.CatalogueFilePath)
        return state.Document.CanHold(text);
    return mIniFile::IniCanHold(text, file);
}

// The first character the file cannot hold (a whole surrogate pair), or a null string.
QString firstUnholdable(const QString &text, const QString &file)
{
    if (canHold(text, file))
        return QString();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QString character = text.mid(i, length);
        if (!canHold(character, file))
            return character;
        i += length;
    }
    return text.right(1); // the whole cannot be held although each part can: name its end
}

// Checks shared by every kind of text; subject is what the message names first.
QString commonProblem(const QString &text, const QString &subject, const QString &file)
{
    if (hasLineBreakOrNul(text))
        return subject + QStringLiteral("に改行などの制御文字は使えません。");
    if (const QString bad = firstUnholdable(text, file); !bad.isNull())
        return subject + QStringLiteral("に保存できない文字「") + bad + QStringLiteral("」が含まれています。");
    return QString();
}

} // namespace

QString ProjectNameProblem(const QString &name, const QString &file)
{
    if (name.isEmpty())
        return QString();
    const QString subject = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名");
    if (hasBlankAtEnds(name))
        return subject + QStringLiteral("の先頭や末尾に空白は使えません。");
    if (name.contains(u'='))
        return subject + QStringLiteral("に「=」は使えません。");
    if (name.front() == u';' || name.front() == u'[')
        return subject + QStringLiteral("の先頭に「;」や「[」は使えません。");
    return commonProblem(name, subject, file);
}

QString CategoryNameProblem(const QString &name, const QString &file)
{
    if (name.isEmpty())
        return QString();
    const QString subject = QStringLiteral("ｶﾃｺﾞﾘｰ名");
    if (hasBlankAtEnds(name))
        return subject + QStringLiteral("の先頭や末尾に空白は使えません。");
    if (name.contains(u']'))
        return subject + QStringLiteral("に「]」は使えません。");
    return commonProblem(name, subject, file);
}

QString PathProblem(const QString &path, const QString &file)
{
    if (path.isEmpty())
        return QString();
    // Messages that name a file put the path first.
    const QString subject = path + QStringLiteral(" ");
    if (hasBlankAtEnds(path))
        return subject + QStringLiteral("は先頭や末尾に空白があるため保存できません。");
    if (hasLineBreakOrNul(path))
        return subject + QStringLiteral("には改行などの制御文字があるため保存できません。");
    if (const QString bad = firstUnholdable(path, file); !bad.isNull())
        return subject + QStringLiteral("には保存できない文字「") + bad + QStringLiteral("」が含まれています。");
    // Longer values come back cut, and the next save would write them back cut.
    if (platform::Cp932Length(path) > mIniFile::kValueBufferBytes - 1)
        return subject + QStringLiteral("は長すぎるため保存できません (%1 ﾊﾞｲﾄまで)。").arg(mIniFile::kValueBufferBytes - 1);
    return QString();
}

namespace {

QString takenBy(const QString &name, const QStringList &others)
{
    for (const QString &other : others)
        if (platform::SameIniName(other, name))
            return other;
    return QString();
}

} // namespace

QString CategoryNameTaken(const QString &name, const QStringList &others)
{
    const QString other = takenBy(name, others);
    if (other.isNull())
        return QString();
    return QStringLiteral("ｶﾃｺﾞﾘｰ [") + other
           + QStringLiteral("] がすでにあります。大文字と小文字の違いだけの名前も同じ名前になります。");
}

QString ProjectNameTaken(const QString &name, const QStringList &others)
{
    const QString other = takenBy(name, others);
    if (other.isNull())
        return QString();
    return QStringLiteral("このｶﾃｺﾞﾘｰにはﾌﾟﾛｼﾞｪｸﾄ [") + other
           + QStringLiteral("] がすでにあります。大文字と小文字の違いだけの名前も同じ名前になります。");
}

namespace {

QString usable(const QString &name, const platform::IniDocument &document)
{
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        const qsizetype length = (name[i].isHighSurrogate() && i + 1 < name.size()) ? 2 : 1;
        const QString character = name.mid(i, length);
        i += length;
        if (character == u"=")
            out += u'＝';
        else if (character == u"\r" || character == u"\n" || character == QChar(0) || !document.CanHold(character))
            out += u'?';
        else
            out += character;
    }
    out = platform::TrimBlanks(out).toString();
    if (out.startsWith(u';'))
        out[0] = u'；';
    else if (out.startsWith(u'['))
        out[0] = u'［';
    return out;
}

} // namespace

QString UsableProjectName(const QString &name, const QString &fallback, const platform::IniDocument &document)
{
    if (QString made = usable(name, document); !made.isEmpty())
        return made;
    if (QString made = usable(fallback, document); !made.isEmpty())
        return made;
    return QStringLiteral("Project");
}

} // namespace catalogue
