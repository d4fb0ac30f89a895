#include "mainwindow/fMain.h"

fMain::fMain(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("ZARUN"));
}
