#pragma once

#include "settings/Settings.h"

#include <QObject>
#include <QScopedValueRollback>

#include <array>

class ReportListView;

// The widths the user gives the main window's lists, in twips: where the two lists meet and each
// column of the project list but the last, which takes the free width. ZARUN.ini keeps those the
// user changed.
class ColumnWidths : public QObject {
    Q_OBJECT
public:
    explicit ColumnWidths(ReportListView *projectList);

    // The widths stored in the settings file, where usable, over the defaults.
    void Read(const QString &settingsFile);
    // The project list's columns at their widths.
    void Apply();
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

private:
    void resized(int column, int size);

    ReportListView *projectList_;
    // In settings::ListWidth order: as read at start-up, or the default, and as the user has set them since.
    std::array<qint32, settings::kListWidthCount> atStart_{};
    std::array<qint32, settings::kListWidthCount> widths_{};
    bool sizing_ = false;
    bool categorySet_ = false;
};
