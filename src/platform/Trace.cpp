#include "platform/Trace.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace platform::trace {

namespace {

struct Tracer {
    std::FILE *file = nullptr;
    QMutex lock;
    bool watching = true;
    bool statuses = false;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
};

// Set once at start when tracing; never freed (lines may come until the very end).
Tracer *g_tracer = nullptr;

constexpr qint64 kFeltGapNs = 30'000'000;

qint64 NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void WriteLocked(qint64 ns, const char *event)
{
    std::fprintf(g_tracer->file, "%lld %s\n", static_cast<long long>(ns), event);
    std::fflush(g_tracer->file);
}

// The gap up to now counts as well: a load that ends before the loop runs again has stalled it all along.
// Each new longest gap is written as "stall <ns>" when it ends, so that a reader can leave out
// stalls of its own doing (closing the window).
void NoteTickLocked(qint64 ns)
{
    const qint64 gap = ns - g_tracer->lastTick;
    g_tracer->lastTick = ns;
    char line[64];
    // Every gap a user could feel, not only new longest ones: those after the window showed are
    // usually shorter than the start's.
    if (gap >= kFeltGapNs) {
        std::snprintf(line, sizeof line, "gap %lld", static_cast<long long>(gap));
        WriteLocked(ns, line);
    }
    if (gap <= g_tracer->longestGap)
        return;
    g_tracer->longestGap = gap;
    std::snprintf(line, sizeof line, "stall %lld", static_cast<long long>(gap));
    WriteLocked(ns, line);
}

class FirstEventFilter : public QObject {
public:
    FirstEventFilter(QObject *watched, QEvent::Type type, const char *event)
        : QObject(watched), type_(type), event_(event) {}
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == type_ && !seen_) {
            seen_ = true;
            Mark(event_);
            deleteLater();
        }
        return false;
    }

private:
    QEvent::Type type_;
    const char *event_;
    bool seen_ = false;
};

} // namespace

void Start()
{
    const QString path = qEnvironmentVariable("ZARUN_TRACE");
    if (g_tracer || path.isEmpty() || !QCoreApplication::instance())
        return;
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "ae");
    if (!file)
        return;
    g_tracer = new Tracer;
    g_tracer->file = file;
    g_tracer->statuses = qEnvironmentVariable("ZARUN_TRACE_STATUSES") == QLatin1String("1");
    const qint64 now = NowNs();
    g_tracer->lastTick = now;
    WriteLocked(now, "start");

    auto *timer = new QTimer(QCoreApplication::instance());
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer] {
        const QMutexLocker guard(&g_tracer->lock);
        if (g_tracer->watching)
            NoteTickLocked(NowNs());
        else
            timer->stop();
    });
    timer->start();
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] {
        const QMutexLocker guard(&g_tracer->lock);
        const qint64 now = NowNs();
        if (g_tracer->watching)
            NoteTickLocked(now);
        char line[64];
        std::snprintf(line, sizeof line, "longest-stall %lld", static_cast<long long>(g_tracer->longestGap));
        WriteLocked(now, line);
    });
}

bool Enabled() { return g_tracer != nullptr; }

bool StatusesEnabled() { return g_tracer && g_tracer->statuses; }

void Mark(const char *event)
{
    if (!g_tracer)
        return;
    const QMutexLocker guard(&g_tracer->lock);
    WriteLocked(NowNs(), event);
}

void MarkFirstEvent(QObject *watched, QEvent::Type type, const char *event)
{
    if (g_tracer && watched)
        watched->installEventFilter(new FirstEventFilter(watched, type, event));
}

void CatalogueFilled()
{
    if (!g_tracer)
        return;
    const QMutexLocker guard(&g_tracer->lock);
    const qint64 now = NowNs();
    if (g_tracer->watching) {
        NoteTickLocked(now);
        g_tracer->watching = false;
    }
    WriteLocked(now, "filled");
}

} // namespace platform::trace
