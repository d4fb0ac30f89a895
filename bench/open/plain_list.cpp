// The floor for a filter key: a plain Qt list (a table model, QTreeView, QStyledItemDelegate) showing
// the same rows as the program in a window of the same size, with the same columns and widths. What
// a key costs it is what the toolkit costs to show a screenful of those rows.
//   plain_list <catalogue, UTF-8>
// The rows for each text the benchmark types are found before the window shows, so a key's time
// holds no search (the program searches on a worker). With ZARUN_TRACE set it writes the marks the
// benchmark waits for: "filled" once the rows are shown, "narrowed" after each text's rows.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <cstdio>
#include <ctime>
#include <vector>

namespace {

std::FILE *g_trace = nullptr;

void Mark(const char *event)
{
    if (!g_trace)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(g_trace, "%lld %s\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec, event);
    std::fflush(g_trace);
}

struct Row {
    QString name, file, folder, exe, category;
    QString searched; // name, file and folder, case-folded
};

enum Column { Name, File, Folder, Exe, Status, Category, Columns };

class Rows : public QAbstractTableModel {
public:
    std::vector<Row> all;
    std::vector<int> shown;
    QIcon upToDate;

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(shown.size()); }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : Columns; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const Row &row = all[size_t(shown[size_t(index.row())])];
        if (role == Qt::DecorationRole && index.column() == Status)
            return upToDate;
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case Name: return row.name;
        case File: return row.file;
        case Folder: return row.folder;
        case Exe: return row.exe;
        case Status: return QStringLiteral("最新");
        default: return row.category;
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const kCaptions[] = {"プロジェクト名", "ファイル名", "パス", "実行ファイル名", "状態", "カテゴリー"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= Columns)
            return {};
        return QString::fromUtf8(kCaptions[section]);
    }
    void Show(std::vector<int> rows)
    {
        beginResetModel();
        shown = std::move(rows);
        endResetModel();
    }
};

// A folder cut short keeps its end, as the program shows it.
class Delegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == Folder)
            option->textElideMode = Qt::ElideMiddle;
    }
};

std::vector<Row> ReadCatalogue(const QString &path)
{
    QFile file(path);
    std::vector<Row> rows;
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    QString category;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString text = line.trimmed();
        if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']'))) {
            category = text.mid(1, text.size() - 2);
            continue;
        }
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        Row row;
        row.name = text.left(equals);
        const QString vbp = text.mid(equals + 1);
        const qsizetype slash = vbp.lastIndexOf(QLatin1Char('/'));
        row.file = vbp.mid(slash + 1);
        row.folder = vbp.left(qMax<qsizetype>(slash, 0));
        const qsizetype dot = row.file.lastIndexOf(QLatin1Char('.'));
        row.exe = (dot > 0 ? row.file.left(dot) : row.file) + QStringLiteral(".exe");
        row.category = category;
        row.searched = (row.name + QLatin1Char('\n') + row.file + QLatin1Char('\n') + row.folder).toCaseFolded();
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<int> Matching(const std::vector<Row> &rows, const QString &text)
{
    const QString folded = text.trimmed().toCaseFolded();
    std::vector<int> found;
    for (int i = 0; i < int(rows.size()); ++i)
        if (folded.isEmpty() || rows[size_t(i)].searched.contains(folded))
            found.push_back(i);
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: plain_list <catalogue, UTF-8>\n");
        return 2;
    }
    if (const QByteArray trace = qgetenv("ZARUN_TRACE"); !trace.isEmpty())
        g_trace = std::fopen(trace.constData(), "a");

    Rows model;
    model.all = ReadCatalogue(QString::fromLocal8Bit(argv[1]));
    model.upToDate = app.style()->standardIcon(QStyle::SP_DialogApplyButton);
    // Every text the benchmark types, found now.
    QHash<QString, std::vector<int>> found;
    for (const QString &text : {QString(), QStringLiteral("0"), QStringLiteral("00"), QStringLiteral("000"),
                                QStringLiteral("0001"), QStringLiteral("00012"), QStringLiteral("000123")})
        found.insert(text, Matching(model.all, text));
    model.shown = found.value(QString());

    QWidget window;
    window.setWindowTitle(QStringLiteral("plain list"));
    auto *categories = new QListWidget;
    QString last;
    for (const Row &row : model.all) {
        if (row.category != last && categories->count() < 100)
            categories->addItem(row.category);
        last = row.category;
    }
    auto *filter = new QLineEdit;
    auto *every = new QCheckBox(QStringLiteral("全カテゴリー"));
    auto *list = new QTreeView;
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setItemDelegate(new Delegate(list));
    list->setModel(&model);
    list->header()->setStretchLastSection(true);
    // The program's widths at 15 twips a pixel.
    const int widths[] = {160, 220, 360, 220, 100};
    for (int column = 0; column < int(std::size(widths)); ++column)
        list->setColumnWidth(column, widths[column]);

    auto *top = new QHBoxLayout;
    top->addWidget(filter, 1);
    top->addWidget(every);
    auto *right = new QVBoxLayout;
    right->addLayout(top);
    right->addWidget(list, 1);
    auto *whole = new QHBoxLayout(&window);
    categories->setFixedWidth(160);
    whole->addWidget(categories);
    whole->addLayout(right, 1);

    new QShortcut(QKeySequence(QStringLiteral("Ctrl+F")), &window, [filter] { filter->setFocus(); });
    QObject::connect(filter, &QLineEdit::textChanged, &window, [&model, &found](const QString &text) {
        auto known = found.constFind(text);
        model.Show(known != found.cend() ? *known : Matching(model.all, text));
        Mark("narrowed");
    });

    window.setGeometry(0, 0, 1260, 960);
    window.show();
    QTimer::singleShot(0, &window, [] { Mark("filled"); });
    return app.exec();
}
