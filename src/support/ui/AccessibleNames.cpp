#include "support/ui/AccessibleNames.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace support {

namespace {

QString Caption(QString text)
{
    // "&&" is a literal ampersand; a single "&" marks the access key.
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text.simplified();
}

} // namespace

void NameControls(QWidget *root)
{
    for (QLabel *label : root->findChildren<QLabel *>())
        if (QWidget *buddy = label->buddy(); buddy && buddy->accessibleName().isEmpty())
            buddy->setAccessibleName(Caption(label->text()));
    for (QWidget *control : root->findChildren<QWidget *>()) {
        if (!control->accessibleName().isEmpty())
            continue;
        QString name;
        if (auto *button = qobject_cast<QAbstractButton *>(control)) {
            name = Caption(button->text());
            // A push button's caption spaced out letter by letter ("O  K") reads as the word.
            if (qobject_cast<QPushButton *>(control))
                name.remove(u' ');
        } else if (auto *frame = qobject_cast<QGroupBox *>(control)) {
            name = Caption(frame->title());
        }
        if (!name.isEmpty())
            control->setAccessibleName(name);
    }
}

} // namespace support
