#include "mainwindow/ReturnFromElsewhere.h"

bool ReturnFromElsewhere::Returned(Qt::ApplicationState state)
{
    if (state != Qt::ApplicationActive) {
        away_ = everActive_;
        return false;
    }
    const bool returned = away_;
    everActive_ = true;
    away_ = false;
    return returned;
}
