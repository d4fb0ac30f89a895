#pragma once

#include "settings/Settings.h"
#include "support/ui/BeforePaint.h"

#include <QFont>
#include <QObject>
#include <QScopedValueRollback>

#include <array>

class QStyle;
class ReportListView;

// The widths the user gives the main window's lists, in twips: where the two lists meet and each
// column of the project list but the last, which takes the free width. ZARUN.ini keeps those the
// user changed. A column whose width the user has not set fits what it shows: the name, file and
// executable columns their texts up to a share of the list, the status its longest word, the folder
// the width left over.
class ColumnWidths : public QObject {
    Q_OBJECT
public:
    explicit ColumnWidths(ReportListView *projectList);

    // The widths stored in the settings file, where usable, over the defaults.
    void Read(const QString &settingsFile);
    // The project list's columns at their widths, those the user has not set fitted to the rows in
    // view (a screenful at most, however long the list).
    void Apply();
    // Apply() once control returns to the event loop, however often asked until then.
    void ApplySoon();
    // The widths the user changed since start-up, for ZARUN.ini.
    settings::ListWidths Changed() const;

    qint32 CategoryWidth() const { return widths_[size_t(settings::ListWidth::CategoryList)]; }
    // Until the user sets the category list's width (stored, or the split dragged), it follows its
    // names: the width they take, which is not written back.
    bool CategoryWidthSet() const { return categorySet_; }
    void FitCategoryWidth(qint32 twips);
    // The split between the lists was dragged to left (pixels of a client area clientWidth wide).
    void SplitDragged(int clientWidth, int left);
    // While held, the program sizes the columns itself: that is no choice of the user's.
    [[nodiscard]] QScopedValueRollback<bool> ProgramSizing() { return QScopedValueRollback<bool>(sizing_, true); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Whether any of the rows [first, last] is on screen now.
    bool onScreen(int first, int last) const;
    void resized(int column, int size);
    // The pixels a column the user has not sized takes, with the rows in view.
    int fitted(int column, int available) const;
    // The status column's width: its longest word with the icon.
    int statusWidth() const;

    ReportListView *projectList_;
    // In settings::ListWidth order: as read at start-up, or the default, and as the user has set them since.
    std::array<qint32, settings::kListWidthCount> atStart_{};
    std::array<qint32, settings::kListWidthCount> widths_{};
    // Stored, or sized by the user since: kept rather than fitted.
    std::array<bool, settings::kListWidthCount> set_{};
    bool sizing_ = false;
    bool categorySet_ = false;
    support::BeforePaint applySoon_{this, [this] { Apply(); }};
    mutable int statusWidth_ = 0;
    mutable const QStyle *statusStyle_ = nullptr;
    mutable QFont statusFont_;
};
