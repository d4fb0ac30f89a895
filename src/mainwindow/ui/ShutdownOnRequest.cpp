#include "mainwindow/ui/ShutdownOnRequest.h"

#include "mainwindow/ui/fMain.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QDialog>
#include <QSessionManager>

ShutdownOnRequest::ShutdownOnRequest(fMain &window, platform::TerminationSignals &signals) : window_(window)
{
    retry_.setSingleShot(true);
    retry_.setInterval(50);
    connect(&retry_, &QTimer::timeout, this, &ShutdownOnRequest::step);
    connect(&signals, &platform::TerminationSignals::Requested, this, &ShutdownOnRequest::Request);
    // The session saves what it must within the request; when nothing is open the window closes at once.
    connect(qApp, &QGuiApplication::commitDataRequest, this, &ShutdownOnRequest::Request, Qt::DirectConnection);
}

void ShutdownOnRequest::Request()
{
    if (closing_) {
        QCoreApplication::quit();
        return;
    }
    step();
}

void ShutdownOnRequest::step()
{
    if (closing_)
        return; // a message of the shut-down itself stays until the user has read it
    // Each dismissed menu or dialog returns to the command that opened it; look again after that.
    if (QWidget *popup = QApplication::activePopupWidget()) {
        popup->close();
        retry_.start();
        return;
    }
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        retry_.start();
        return;
    }
    if (window_.ProgressWindow()) { // loading, saving or starting a build: let it finish
        retry_.start();
        return;
    }
    closing_ = true;
    retry_.stop();
    window_.close();
    QCoreApplication::quit();
}
