#include "catalogue/ProjectStatus.h"

namespace catalogue {

ProjectState StatusFrom(bool projectExists, std::optional<qint64> exeModified, qint64 newestInput)
{
    if (!projectExists)
        return ProjectState::VbpMissing;
    if (!exeModified)
        return ProjectState::ExeMissing;
    return *exeModified < newestInput ? ProjectState::OutOfDate : ProjectState::UpToDate;
}

bool NeedsAttention(ProjectState state)
{
    switch (state) {
    case ProjectState::VbpMissing:
    case ProjectState::ExeMissing:
    case ProjectState::OutOfDate:
    case ProjectState::Failed:
    case ProjectState::ReferenceMissing:
    case ProjectState::SourceMissing:
        return true;
    case ProjectState::Unknown:
    case ProjectState::UpToDate:
    case ProjectState::Building:
        break;
    }
    return false;
}

QString StatusText(ProjectState state)
{
    switch (state) {
    case ProjectState::Unknown:
        return QStringLiteral("確認中");
    case ProjectState::VbpMissing:
        return QStringLiteral("ファイルなし");
    case ProjectState::ExeMissing:
        return QStringLiteral("未作成");
    case ProjectState::OutOfDate:
        return QStringLiteral("要更新");
    case ProjectState::UpToDate:
        return QStringLiteral("最新");
    case ProjectState::Building:
        return QStringLiteral("作成中");
    case ProjectState::Failed:
        return QStringLiteral("作成失敗");
    case ProjectState::ReferenceMissing:
        return QStringLiteral("参照不足");
    case ProjectState::SourceMissing:
        return QStringLiteral("ソースなし");
    }
    return QString();
}

QString StatusToolTip(ProjectState state, const QString &detail)
{
    switch (state) {
    case ProjectState::Unknown:
        return QStringLiteral("ファイルの状態を確認しています。");
    case ProjectState::VbpMissing:
        return QStringLiteral("プロジェクトファイル(.vbp)が見つかりません。");
    case ProjectState::ExeMissing:
        return QStringLiteral("実行ファイルがまだ作成されていません。");
    case ProjectState::OutOfDate:
        if (!detail.isEmpty())
            return detail + QStringLiteral(" が実行ファイルより新しいため、実行ファイルの作成が必要です。");
        return QStringLiteral("ソースが実行ファイルより新しいため、実行ファイルの作成が必要です。");
    case ProjectState::UpToDate:
        return QStringLiteral("実行ファイルはソースより新しく、最新です。");
    case ProjectState::Building:
        return QStringLiteral("実行ファイルを作成しています。");
    case ProjectState::Failed:
        return QStringLiteral("実行ファイルの作成に失敗しました。新しい実行ファイルができませんでした。");
    case ProjectState::ReferenceMissing:
        return QStringLiteral("参照しているコンポーネントがWineのプレフィックスで使えないため、作成できません:\n")
               + detail;
    case ProjectState::SourceMissing:
        if (!detail.isEmpty())
            return QStringLiteral("プロジェクトが使うソース %1 が見つかりません。").arg(detail);
        return QStringLiteral("プロジェクトが使うソースが見つかりません。");
    }
    return QString();
}

} // namespace catalogue
