#include "catalogue/NameRules.h"

#include "platform/TextCodec.h"

namespace catalogue {

namespace {

bool hasBlankAtEnds(const QString &text)
{
    auto blank = [](QChar c) { return c == u' ' || c == u'\t' || c == QChar(0x3000); };
    return !text.isEmpty() && (blank(text.front()) || blank(text.back()));
}

bool hasLineBreak(const QString &text)
{
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0));
}

} // namespace

QString CategoryNameProblem(const QString &name)
{
    if (name.contains(u']') || hasLineBreak(name))
        return QStringLiteral("ｶﾃｺﾞﾘｰ名に ] や改行は使えません。");
    if (hasBlankAtEnds(name))
        return QStringLiteral("ｶﾃｺﾞﾘｰ名の先頭と末尾に空白は使えません。");
    if (!platform::Cp932CanHold(name))
        return QStringLiteral("ｶﾃｺﾞﾘｰ名にﾃﾞｰﾀﾌｧｲﾙに保存できない文字が含まれています。");
    return QString();
}

QString ProjectNameProblem(const QString &name)
{
    if (name.contains(u'=') || hasLineBreak(name))
        return QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名に = や改行は使えません。");
    if (name.startsWith(u';') || name.startsWith(u'['))
        return QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名の先頭に ; や [ は使えません。");
    if (hasBlankAtEnds(name))
        return QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名の先頭と末尾に空白は使えません。");
    if (!platform::Cp932CanHold(name))
        return QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名にﾃﾞｰﾀﾌｧｲﾙに保存できない文字が含まれています。");
    return QString();
}

QString PathProblem(const QString &path)
{
    if (hasLineBreak(path) || !platform::Cp932CanHold(path))
        return path + QStringLiteral(" にはﾃﾞｰﾀﾌｧｲﾙに保存できない文字が含まれています。");
    return QString();
}

} // namespace catalogue
