#include "catalogue/SourceList.h"

#include "platform/TextCodec.h"
#include "tooling/mMain.h"

#include <QDir>

namespace catalogue {

namespace {

struct SourceKey {
    QByteArrayView key;
    bool named; // "Name; File"
};

constexpr SourceKey kKeys[] = {
    {"Form", false},         {"Module", true},   {"Class", true},      {"UserControl", false},
    {"PropertyPage", false}, {"UserDocument", false}, {"Designer", false}, {"RelatedDoc", false},
    {"ResFile32", false},
};

bool startsWithKey(QByteArrayView line, QByteArrayView key)
{
    return line.size() > key.size() && line[key.size()] == '=' && line.first(key.size()).compare(key, Qt::CaseInsensitive) == 0;
}

// The value of a source line as written (after "Name;" for named keys), or null for other lines.
QByteArrayView sourceValueOf(QByteArrayView line)
{
    // Most lines of a .vbp are no source line: their first letter tells.
    switch (line.front() | 0x20) {
    case 'f': case 'm': case 'c': case 'u': case 'p': case 'd': case 'r':
        break;
    default:
        return {};
    }
    for (const SourceKey &k : kKeys) {
        if (!startsWithKey(line, k.key))
            continue;
        QByteArrayView value = line.sliced(k.key.size() + 1);
        if (k.named) {
            const qsizetype semicolon = value.indexOf(';');
            if (semicolon >= 0)
                value = value.sliced(semicolon + 1);
        }
        return value.isNull() ? QByteArrayView("", 0) : value;
    }
    return {};
}

// "/../x" is "/x": the root is its own parent.
QString upToRoot(QString path)
{
    if (!path.startsWith(u'/'))
        return path;
    while (path.startsWith(QLatin1String("/..")) && (path.size() == 3 || path[3] == u'/'))
        path.remove(0, 3);
    return path.isEmpty() ? QStringLiteral("/") : path;
}

bool isDriveLetter(QChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

} // namespace

void ForEachSourceValue(QByteArrayView vbp, const std::function<void(QByteArrayView)> &take)
{
    qsizetype start = 0;
    const qsizetype size = vbp.size();
    while (start < size) {
        const qsizetype end = start + mMain::ProjectLineSize(vbp.sliced(start));
        if (end > start)
            if (const QByteArrayView value = sourceValueOf(vbp.sliced(start, end - start)); !value.isNull())
                take(value);
        start = end + 1;
    }
}

QString CleanedSourceValue(QByteArrayView value)
{
    QString path = platform::DecodeCp932(value).trimmed();
    if (path.size() >= 2 && path.startsWith(u'"') && path.endsWith(u'"'))
        path = path.mid(1, path.size() - 2).trimmed();
    return path;
}

QStringList ListedSources(QByteArrayView vbp)
{
    QStringList sources;
    ForEachSourceValue(vbp, [&sources](QByteArrayView value) {
        if (QString path = CleanedSourceValue(value); !path.isEmpty())
            sources.append(std::move(path));
    });
    return sources;
}

QString SourcePath(const QString &projectFolder, const QString &written, PathStyle style)
{
    if (written.isEmpty())
        return QString();
    const bool drive = written.size() >= 2 && written[1] == u':' && isDriveLetter(written[0]);
    if (style == PathStyle::Windows) {
        const bool absolute = drive || written.startsWith(u'\\') || written.startsWith(u'/');
        QString joined = absolute ? written : projectFolder + u'\\' + written;
        joined.replace(u'\\', u'/');
        // The drive stays out of the cleaning: ".." never climbs over it.
        const bool onDrive = joined.size() >= 2 && joined[1] == u':' && isDriveLetter(joined[0]);
        const QString prefix = onDrive ? joined.left(2) : QString();
        QString rest = onDrive ? joined.mid(2) : joined;
        if (onDrive && !rest.startsWith(u'/'))
            rest.prepend(u'/');
        QString cleaned = prefix + upToRoot(QDir::cleanPath(rest));
        return cleaned.replace(u'/', u'\\');
    }
    QString path = written;
    path.replace(u'\\', u'/');
    if (drive) {
        // Under Wine, Z: is the root of this file system; other drives are not known here.
        if (path[0].toUpper() != u'Z')
            return QString();
        path = path.mid(2);
        if (!path.startsWith(u'/'))
            path.prepend(u'/');
    } else if (path.startsWith(QLatin1String("//"))) {
        return QString(); // a network share
    } else if (!path.startsWith(u'/')) {
        path = projectFolder + u'/' + path;
    }
    return upToRoot(QDir::cleanPath(path));
}

QString CompanionOf(const QString &source)
{
    static const struct {
        const char *source;
        const char *companion;
    } kPairs[] = {{"frm", "frx"}, {"ctl", "ctx"}, {"pag", "pgx"}, {"dob", "dox"}, {"dsr", "dsx"}};
    const qsizetype dot = source.lastIndexOf(u'.');
    if (dot < 0 || source.size() - dot != 4 || source.indexOf(u'/', dot) >= 0 || source.indexOf(u'\\', dot) >= 0)
        return QString();
    const QStringView extension = QStringView(source).sliced(dot + 1);
    for (const auto &pair : kPairs) {
        if (extension.compare(QLatin1String(pair.source), Qt::CaseInsensitive) != 0)
            continue;
        QString companion = QString::fromLatin1(pair.companion);
        // In the letter case of the source's extension: FORM1.FRM goes with FORM1.FRX.
        for (int i = 0; i < 3; ++i)
            if (extension[i].isUpper())
                companion[i] = companion[i].toUpper();
        return source.left(dot + 1) + companion;
    }
    return QString();
}

} // namespace catalogue
