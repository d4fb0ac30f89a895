#include "mainwindow/fMain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZARUN"));
    fMain window;
    window.show();
    return QApplication::exec();
}
