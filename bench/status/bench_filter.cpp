// Typing in the filter box of the main window over 10,000 projects: the time from a key to the
// list showing what it found (narrowed on a worker at this size), for each key of a few typed words (offscreen, the real window).
// Reported for one category of 10,000 and for every category of 100 x 100 ticked; the first
// word typed before and after the background reader has folded the search keys.
//   bench_filter [runs]
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/ui/ProjectListView.h"
#include "mainwindow/ui/MainLists.h"
#include "mainwindow/ui/MainMenus.h"
#include "mainwindow/ui/fMain.h"
#include "platform/ProgramFolder.h"
#include "tooling/UserInterface.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

class QuietUserInterface : public ui::UserInterface {
public:
    void Message(const QString &) override {}
    bool Confirm(const QString &, const QString &) override { return true; }
    bool Ask(const QString &) override { return false; }
    QString InputBox(const QString &, const QString &, const QString &) override { return {}; }
    void ShowProgress(const QString &) override {}
    void HideProgress() override {}
};

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// The catalogue: categories x projects, names half in Japanese (half-width katakana among them).
void Load(int categories, int projects)
{
    std::vector<std::unique_ptr<catalogue::cVbAnalyze>> all(1);
    for (int c = 0; c < categories; ++c) {
        QList<catalogue::KeyEntry> entries;
        for (int p = 0; p < projects; ++p) {
            const int n = c * projects + p;
            const QString name = n % 2 ? QStringLiteral("売上ﾂｰﾙ%1").arg(n, 5, 10, QLatin1Char('0'))
                                       : QStringLiteral("Tool%1").arg(n, 5, 10, QLatin1Char('0'));
            entries.append({name, QStringLiteral("/nonexistent/src/group%1/Proj%2/Proj%2.vbp").arg(c).arg(n)});
        }
        all.push_back(std::make_unique<catalogue::cVbAnalyze>());
        all.back()->SetEntries(QStringLiteral("分類%1").arg(c), entries);
    }
    catalogue::State().ReplaceCategories(std::move(all));
}

// Types each word key by key and clears it; the time of every key until the list has shown it.
std::vector<double> Type(fMain &w, const QStringList &words)
{
    std::vector<double> keys;
    for (const QString &word : words) {
        for (qsizetype k = 1; k <= word.size(); ++k) {
            const auto t0 = std::chrono::steady_clock::now();
            w.Lists().txtFilter()->setText(word.left(k));
            // A long list is narrowed on a worker: the key ends when its rows are shown.
            while (w.FilterModel().Narrowing())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            w.Lists().lvwProjectList()->viewport()->repaint();
            QApplication::processEvents();
            keys.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
        w.Lists().txtFilter()->clear();
        QApplication::processEvents();
    }
    return keys;
}

QString times(const std::vector<double> &keys)
{
    QStringList texts;
    for (double k : keys)
        texts.append(QString::number(k, 'f', 1));
    return texts.join(QStringLiteral(" "));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir dir;
    platform::SetProgramFolderForTesting(dir.path());
    QuietUserInterface quiet;
    ui::SetCurrent(&quiet);
    catalogue::ProjectReader reader(catalogue::State());
    // Each narrows key by key from every row to a few: "t" or "/" keep all 10,000.
    const QStringList words{QStringLiteral("tool0123"), QStringLiteral("/ﾂｰﾙ"), QStringLiteral("ＴＯＯＬ09"),
                            QStringLiteral("売上ツール077"), QStringLiteral("proj777"), QStringLiteral("group7/")};

    struct Case {
        const char *what;
        int categories;
        int projects;
        bool all;
    };
    for (const Case &c : {Case{"one category of 10,000", 1, 10000, false},
                          Case{"every category, 100 x 100", 100, 100, true}}) {
        std::vector<double> keys, firstWord;
        for (int r = 0; r < runs; ++r) {
            fMain w;
            w.resize(1000, 700);
            w.show();
            Load(c.categories, c.projects);
            w.Commands().SelectCategory(1);
            w.Lists().chkAllCategories()->setChecked(c.all);
            QApplication::processEvents();
            if (r == 0) // the first keys after a load make the search keys as they compare
                firstWord = Type(w, {words.first()});
            while (!reader.Idle())
                app.processEvents(QEventLoop::WaitForMoreEvents);
            const std::vector<double> typed = Type(w, words);
            keys.insert(keys.end(), typed.begin(), typed.end());
            w.Lists().txtFilter()->setText(QStringLiteral("ｔｏｏｌ0"));
            while (w.FilterModel().Narrowing())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            QApplication::processEvents();
            if (w.Lists().lvwProjectList()->RowCount() != 5000)
                std::fprintf(stderr, "unexpected rows: %d\n", w.Lists().lvwProjectList()->RowCount());
            catalogue::ResetState();
        }
        std::printf("%-28s %zu keys: median %6.2f ms  90%% %6.2f ms  max %6.2f ms;  first word after the load, "
                    "ms a key:  %s\n",
                    c.what, keys.size(), Percentile(keys, 0.5), Percentile(keys, 0.9), Percentile(keys, 1.0),
                    qPrintable(times(firstWord)));
    }
    ui::SetCurrent(nullptr);
    return 0;
}
