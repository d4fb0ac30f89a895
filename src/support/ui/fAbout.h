#pragma once

#include "support/ui/cILink.h"

#include <QDialog>

#include <array>
#include <memory>

class QLabel;
class QPushButton;

// The version window: title, version, program icon and the web and mail links.
// Make one per showing and run it modally: fAbout dialog; dialog.exec();
class fAbout : public QDialog {
    Q_OBJECT
public:
    explicit fAbout(QWidget *parent = nullptr);
    ~fAbout() override;

    QLabel *lblAppTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *picIcon = nullptr;
    std::array<QLabel *, 3> lblTitle{}; // "アイコン募集中", "E-Mail", "WebSite"
    QLabel *lblUrl = nullptr;
    QLabel *lblEmail = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *cmdOK = nullptr;

    // The links, from load to unload (null afterwards).
    cILink *WebLink() const { return webLink_.get(); }
    cILink *MailLink() const { return mailLink_.get(); }

    void done(int result) override;

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void BuildControls();
    void Form_Load();
    void Form_MouseMove();
    void Form_Unload();
    void cmdOK_Click();
    void CentreOnScreen();

    std::unique_ptr<cILink> webLink_;
    std::unique_ptr<cILink> mailLink_;
};
