#include "tooling/BuildQueue.h"

#include "catalogue/ProjectScan.h"
#include "catalogue/cVbAnalyze.h"
#include "tooling/IdeBuild.h"
#include "tooling/IdeCommand.h"
#include "tooling/mMain.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace tooling {

struct BuildQueue::Look {
    std::weak_ptr<catalogue::ProjectRecord> record;
    QString file;
    QString knownExe;
    catalogue::SourcesPtr previous;
    catalogue::ProjectState state = catalogue::ProjectState::Unknown;
};

struct BuildQueue::Planned {
    std::weak_ptr<catalogue::ProjectRecord> record;
    QString file;
};

namespace {

bool needsBuild(catalogue::ProjectState state)
{
    return state == catalogue::ProjectState::ExeMissing || state == catalogue::ProjectState::OutOfDate;
}

} // namespace

BuildQueue::BuildQueue(QObject *parent) : QObject(parent) {}

BuildQueue::~BuildQueue()
{
    // The run ends with its owner (the window closes, the program ends): the IDE at work and
    // everything it started end too, rather than go on writing after the program has gone.
    if (current_) {
        current_->disconnect(this);
        current_->StopNow();
    }
}

bool BuildQueue::Start(const std::vector<std::weak_ptr<catalogue::ProjectRecord>> &projects, QString *error)
{
    if (running_)
        return false;
    const idecommand::Refusal refusal = idecommand::BuildRefusal(idecommand::Parse(mMain::VbIdePath));
    if (refusal != idecommand::Refusal::None) {
        if (error)
            *error = mMain::BuildRefusalMessage(mMain::VbIdePath, refusal);
        return false;
    }
    running_ = true;
    cancelled_ = false;
    summary_ = Summary();
    planned_.clear();
    next_ = 0;

    // What the look needs is copied here: the records change on this thread only.
    std::vector<Look> looks;
    looks.reserve(projects.size());
    for (const std::weak_ptr<catalogue::ProjectRecord> &weak : projects) {
        const std::shared_ptr<catalogue::ProjectRecord> record = weak.lock();
        if (!record || record->file.IsEmpty()) {
            summary_.skipped += 1;
            continue;
        }
        Look look;
        look.record = weak;
        look.file = record->File();
        if (record->exeKnown && !record->exe.IsEmpty())
            look.knownExe = record->Exe();
        look.previous = record->sources;
        looks.push_back(std::move(look));
    }
    Q_EMIT Looking(int(looks.size()));

    // A look finished after this queue is gone, or after a cancel, is dropped on arrival.
    const int look = ++look_;
    QObject *receiver = QCoreApplication::instance();
    QThreadPool::globalInstance()->start([looks = std::move(looks), self = QPointer<BuildQueue>(this), look,
                                          receiver]() mutable {
        catalogue::CaseFolding folding;
        for (Look &look : looks)
            look.state = catalogue::ScanProject(look.file, look.knownExe, look.previous, &folding).state;
        for (Look &look : looks)
            look.previous.reset();
        QMetaObject::invokeMethod(receiver, [looks = std::move(looks), self, look]() mutable {
            if (self && self->look_ == look)
                self->looked(std::move(looks));
        }, Qt::QueuedConnection);
    });
    return true;
}

void BuildQueue::looked(std::vector<Look> looks)
{
    for (Look &look : looks) {
        if (needsBuild(look.state))
            planned_.push_back({look.record, look.file});
        else
            summary_.skipped += 1;
    }
    next();
}

void BuildQueue::next()
{
    current_ = nullptr;
    while (!cancelled_ && next_ < planned_.size()) {
        const Planned &planned = planned_[next_++];
        const std::shared_ptr<catalogue::ProjectRecord> record = planned.record.lock();
        // Gone with its category or catalogue, given another file, or built by a command meanwhile.
        if (!record || record->File() != planned.file || record->building) {
            summary_.skipped += 1;
            continue;
        }
        Q_EMIT Progress(int(next_), int(planned_.size()), record->Name());
        const IdeBuild::Started started = IdeBuild::Start(planned.file, planned.record);
        if (!started.build) {
            // The IDE cannot be started: the next project would fare no better.
            summary_.error = started.error;
            summary_.notBuilt += int(planned_.size() - next_) + 1;
            next_ = planned_.size();
            break;
        }
        current_ = started.build;
        connect(current_, &IdeBuild::Finished, this, [this, build = current_.data()](bool built) {
            if (built) {
                summary_.built += 1;
            } else if (cancelled_ || build->Stopped()) {
                summary_.notBuilt += 1;
            } else {
                summary_.failed += 1;
                // One cause is told once, however many projects it failed.
                if (!build->Cause().isEmpty() && !summary_.causes.contains(build->Cause()))
                    summary_.causes.append(build->Cause());
            }
            next();
        });
        return;
    }
    finish();
}

void BuildQueue::Cancel()
{
    if (!running_ || cancelled_)
        return;
    cancelled_ = true;
    summary_.cancelled = true;
    if (current_) {
        current_->Stop(); // the run ends when the IDE has
        return;
    }
    // Still looking: nothing was started.
    ++look_;
    QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::QueuedConnection);
}

void BuildQueue::finish()
{
    if (!running_)
        return;
    if (cancelled_ && next_ < planned_.size())
        summary_.notBuilt += int(planned_.size() - next_);
    next_ = planned_.size();
    running_ = false;
    current_ = nullptr;
    planned_.clear();
    Q_EMIT Finished(summary_);
}

QString SummaryText(const QString &category, const BuildQueue::Summary &summary)
{
    const QString name = QStringLiteral("ｶﾃｺﾞﾘｰ　[") + category + QStringLiteral("]　");
    QString head;
    if (!summary.error.isEmpty())
        head = summary.error;
    else if (summary.cancelled)
        head = name + QStringLiteral("の実行ﾌｧｲﾙ作成を中止しました。");
    else if (summary.built + summary.failed == 0)
        head = name + QStringLiteral("に実行ﾌｧｲﾙの作成が必要なﾌﾟﾛｼﾞｪｸﾄはありませんでした。");
    else
        head = name + QStringLiteral("の実行ﾌｧｲﾙ作成が終わりました。");
    QString text = head + QStringLiteral("\n\n作成: ") + QString::number(summary.built) + QStringLiteral("\n失敗: ")
                   + QString::number(summary.failed) + QStringLiteral("\nｽｷｯﾌﾟ: ") + QString::number(summary.skipped);
    if (summary.notBuilt > 0)
        text += QStringLiteral("\n未作成: ") + QString::number(summary.notBuilt);
    for (const QString &cause : summary.causes)
        text += QStringLiteral("\n\n") + cause;
    return text;
}

} // namespace tooling
