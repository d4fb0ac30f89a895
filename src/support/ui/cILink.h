#pragma once

#include <QColor>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// Turns a label into a hyperlink: blue underlined text with a hand pointer,
// purple once the pointer is over it, its URL opened by the shell on a click.
class cILink : public QObject {
    Q_OBJECT
public:
    // How a link target reaches the shell. Defaults to the desktop's "open"
    // (QDesktopServices); the main window may route it through its own opener.
    using Opener = std::function<void(const QString &target)>;
    static void SetOpener(Opener opener);
    static void ResetOpener();
    static void Open(const QString &target);

    static QColor LinkColour() { return QColor(0, 0, 255); }
    static QColor HoverColour() { return QColor(128, 0, 128); }

    explicit cILink(QObject *parent = nullptr);

    QLabel *InternetLink() const { return label(); }
    // Attaches a label: blue, underlined, sized to its text, hand pointer;
    // copies Caption and ToolTipText into it, then takes its caption as URL.
    void SetInternetLink(QLabel *label);

    QString URL() const { return url_; }
    void SetURL(const QString &url) { url_ = url; }

    QString Caption() const { return caption_; }
    void SetCaption(const QString &caption);

    QString ToolTipText() const { return toolTipText_; }
    void SetToolTipText(const QString &text);

    // Gives the attached label a text colour, made lighter or darker where the background would
    // leave it unreadable.
    void SetColour(const QColor &colour);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The attached label while it is one: in its destructor it is a plain widget (or object) and
    // must not be treated as a label any more, though its events still pass the filter.
    QLabel *label() const { return qobject_cast<QLabel *>(mctlLabel.data()); }
    void mctlLabel_Click();
    void mctlLabel_MouseMove();

    QPointer<QObject> mctlLabel;
    QString url_;
    QString caption_;
    QString toolTipText_;
    bool pressed_ = false;
};
