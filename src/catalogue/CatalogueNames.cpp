#include "catalogue/CatalogueNames.h"

#include "platform/IniDocument.h"

#include <QSet>

namespace catalogue {

QStringList DistinctProjectNames(const QStringList &names)
{
    QStringList result;
    result.reserve(names.size());
    QSet<QString> taken;
    taken.reserve(names.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        result.append(DistinctName(names[i], i + 1, taken));
    return result;
}

QString DistinctName(const QString &name, qsizetype position, QSet<QString> &taken)
{
    // Each "(j)" is appended because the name is taken by an earlier project;
    // this gives the same result as comparing downwards and starting over.
    const QString suffix = u'(' + QString::number(position) + u')';
    QString result = name;
    while (taken.contains(platform::IniNameKey(result)))
        result += suffix;
    taken.insert(platform::IniNameKey(result));
    return result;
}

} // namespace catalogue
