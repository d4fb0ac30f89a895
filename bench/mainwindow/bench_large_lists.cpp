// What the window's thread does with a large catalogue, in process (offscreen, no X server): every
// category ticked and unticked, the rows on screen repainted, the search index made, the filter's
// keys, and another program's one-line change followed.
// Beside each the plain method's cost: the same list view over a model that answers from nothing,
// and the read of the file on the worker. Figures from inside the process, so labelled.
//   bench_large_lists <catalogue.zrd>   (a copy is changed, never the file given)
#include "../common/Measure.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueModels.h"
#include "catalogue/ProjectFilter.h"
#include "catalogue/SearchIndex.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/CatalogueCommands.h"
#include "mainwindow/ui/ProjectListView.h"
#include "platform/IniStore.h"
#include "settings/Settings.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFile>
#include <QStyledItemDelegate>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

// The floor of a list view: rows that cost nothing to answer.
class PlainRows : public QAbstractTableModel {
public:
    int rows = 0;
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : rows; }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 6; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(QString::number(index.row())) : QVariant();
    }
    Qt::ItemFlags flags(const QModelIndex &) const override { return catalogue::ProjectListModel::kRowFlags; }
    void Show(int count)
    {
        beginResetModel();
        rows = count;
        endResetModel();
    }
};

void settle(QApplication &app)
{
    for (int i = 0; i < 3; ++i)
        app.processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_large_lists <catalogue.zrd>\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("copy.zrd"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), file))
        return 2;
    settings::Values().AutoMakeExe = false;
    catalogue::ProjectListModel projects(catalogue::State());
    catalogue::ProjectFilterModel filter(&projects);
    CatalogueCommands commands;
    catalogue::State().CatalogueFilePath = file;
    commands.LoadCatalogue(catalogue::PrepareCatalogue(file));
    projects.ShowCategory(catalogue::State().Current());
    ReportListView view;
    view.setModel(&filter);
    // As the window draws its rows, with the statuses' delegate.
    view.setItemDelegate(new ProjectStatusDelegate(catalogue::ProjectListModel::StatusColumn, &view));
    view.resize(1000, 700);
    view.show();
    settle(app);

    int all = 0;
    for (qint32 i = 1; i <= catalogue::State().CategoryCount; ++i)
        all += catalogue::State().CategoryAt(i)->Count();
    std::vector<double> tick, untick, plain;
    PlainRows rows;
    ReportListView plainView;
    plainView.setModel(&rows);
    plainView.resize(1000, 700);
    plainView.show();
    for (int run = 0; run < 5; ++run) {
        tick.push_back(TimeMs([&] {
            projects.ShowAllCategories();
            settle(app);
        }));
        untick.push_back(TimeMs([&] {
            projects.ShowCategory(catalogue::State().Current());
            settle(app);
        }));
        rows.Show(0);
        settle(app);
        plain.push_back(TimeMs([&] {
            rows.Show(all);
            settle(app);
        }));
    }
    std::printf("every category ticked: first %.1f ms, median %.1f ms, slowest %.1f ms (the same rows from nothing: "
                "%.1f ms); unticked: median %.1f ms\n",
                tick.front(), Median(tick), *std::max_element(tick.begin(), tick.end()), Median(plain), Median(untick));

    projects.ShowAllCategories();
    settle(app);
    // A repaint of the rows on screen, as every key, selection and status found asks; beside it the
    // plain delegate, which has the style lay out and shape each cell's text on every paint.
    const auto repaints = [&] {
        std::vector<double> times;
        for (int run = 0; run < 20; ++run)
            times.push_back(TimeMs([&] { view.viewport()->repaint(); }));
        return times;
    };
    QAbstractItemDelegate *own = view.itemDelegate();
    ProjectStatusDelegate fresh(catalogue::ProjectListModel::StatusColumn); // its first paint shapes every text
    view.setItemDelegate(&fresh);
    const std::vector<double> shaped = repaints();
    QStyledItemDelegate plainDelegate;
    view.setItemDelegate(&plainDelegate);
    const std::vector<double> styled = repaints();
    view.setItemDelegate(own);
    std::printf("the rows on screen repainted: first (every text new) %.1f ms, median %.1f ms (the style's own "
                "delegate: first %.1f ms, median %.1f ms)\n",
                shaped.front(), Median(shaped), styled.front(), Median(styled));
    std::vector<double> listed, made;
    for (int run = 0; run < 3; ++run) {
        std::vector<catalogue::SearchIndex::Row> rows;
        listed.push_back(TimeMs([&] {
            rows.reserve(size_t(projects.rowCount()));
            projects.VisitRecords([&](const catalogue::ProjectRecord &record) {
                rows.emplace_back(record.StoredName(), record.StoredFile());
            });
        }));
        made.push_back(TimeMs([&] { (void)catalogue::SearchIndex::Make(rows); }));
    }
    std::printf("the search index of every row: rows listed on the window's thread first %.1f ms, median %.1f ms; "
                "made from them, parts side by side, first %.1f ms, median %.1f ms\n",
                listed.front(), Median(listed), made.front(), Median(made));
    filter.SetInUse(true); // the box got the focus: the index is made meanwhile
    for (const char *text : {"0", "00", "000", "0001", "000", "00", "0", ""}) {
        double free = 0;
        const double shown = TimeMs([&] {
            free = TimeMs([&] { filter.SetText(QString::fromLatin1(text)); });
            while (filter.Narrowing())
                app.processEvents(QEventLoop::WaitForMoreEvents);
            settle(app);
        });
        std::printf("key -> \"%s\": window's part %.1f ms, %d rows shown after %.1f ms\n", text, free,
                    filter.rowCount(), shown);
    }

    std::vector<double> read, followed;
    for (int run = 0; run < 3; ++run) {
        QFile f(file);
        if (!f.open(QIODevice::Append) || f.write("zz_extra" + QByteArray::number(run) + "=/nowhere/zz.vbp\r\n") < 0)
            return 1;
        f.close();
        platform::IniRead fresh;
        // As the watch reads it: compared with the mirrored document there, off the window's thread.
        const platform::IniDocument mirrored = catalogue::State().Document;
        read.push_back(TimeMs([&] { fresh = platform::IniStore::Read(file, &mirrored); }));
        followed.push_back(TimeMs([&] {
            catalogue::FollowRead(std::move(fresh));
            settle(app);
        }));
    }
    std::printf("another program's line followed: the window's part first %.1f ms, median %.1f ms "
                "(the worker's read of the file: %.1f ms)\n",
                followed.front(), Median(followed), Median(read));
    return 0;
}
