#pragma once

#include <QMainWindow>

class fMain : public QMainWindow {
    Q_OBJECT
public:
    explicit fMain(QWidget *parent = nullptr);
};
