#pragma once

#include <QApplication>
#include <QPalette>
#include <QString>
#include <QStyle>

// Colour schemes a desktop may hand the program, by name: "default" (the platform's own),
// "dark" (as dark themes set it), "mid grey" (where neither black nor white stands out much).
inline QPalette SchemePalette(const QString &name)
{
    if (name == QLatin1String("dark")) {
        QPalette dark(QColor(53, 53, 53));
        dark.setColor(QPalette::WindowText, QColor(239, 240, 241));
        dark.setColor(QPalette::Base, QColor(35, 38, 39));
        dark.setColor(QPalette::Text, QColor(239, 240, 241));
        dark.setColor(QPalette::ButtonText, QColor(239, 240, 241));
        return dark;
    }
    if (name == QLatin1String("mid grey"))
        return QPalette(QColor(119, 119, 119));
    return QApplication::style()->standardPalette();
}

// Sets the application palette for one test and puts the old one back.
class SchemeScope {
public:
    explicit SchemeScope(const QString &name) : old_(QApplication::palette()) { QApplication::setPalette(SchemePalette(name)); }
    ~SchemeScope() { QApplication::setPalette(old_); }
    SchemeScope(const SchemeScope &) = delete;
    SchemeScope &operator=(const SchemeScope &) = delete;

private:
    QPalette old_;
};
