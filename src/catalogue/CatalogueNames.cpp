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
    for (qsizetype i = 0; i < names.size(); ++i) {
        QString name = names[i];
        // Each "(j)" is appended because the name is taken by an earlier project;
        // this gives the same result as comparing downwards and starting over.
        const QString suffix = u'(' + QString::number(i + 1) + u')';
        while (taken.contains(platform::IniNameKey(name)))
            name += suffix;
        taken.insert(platform::IniNameKey(name));
        result.append(name);
    }
    return result;
}

} // namespace catalogue
