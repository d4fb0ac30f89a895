#include "support/FileDialogRules.h"

#include "platform/TextCodec.h"

#include <QDir>

namespace support {

namespace {

const QChar kNul(u'\0');

// Paths are taken apart at "/" whatever separator the caller used.
QString Clean(const QString &path) { return QDir::cleanPath(QDir::fromNativeSeparators(path)); }

bool IsDriveOnly(const QString &folder)
{
    return folder.size() == 2 && folder.at(1) == u':' && folder.at(0).isLetter();
}

} // namespace

QString PlatformFilter(const QString &filter)
{
    QString text = filter;
    text.replace(u'|', kNul);
    if (!text.endsWith(kNul))
        text.append(kNul);
    return text;
}

QList<FilterPair> FilterPairs(const QString &platformFilter)
{
    QList<FilterPair> pairs;
    QStringList items = platformFilter.split(kNul);
    // The last item is what follows the final NUL: empty for a well-formed text.
    if (!items.isEmpty() && items.constLast().isEmpty())
        items.removeLast();
    for (qsizetype i = 0; i < items.size(); i += 2) {
        const QString description = items.at(i);
        if (description.isEmpty())
            break; // two NULs in a row end the list for the platform
        FilterPair pair{description, {}};
        if (i + 1 < items.size()) {
            for (const QString &pattern : items.at(i + 1).split(u';')) {
                const QString trimmed = pattern.trimmed();
                if (!trimmed.isEmpty())
                    pair.patterns.append(trimmed);
            }
        }
        if (pair.patterns.isEmpty())
            pair.patterns.append(QStringLiteral("*"));
        pairs.append(pair);
    }
    return pairs;
}

QString NameFilter(const FilterPair &pair)
{
    return pair.description + QStringLiteral(" (") + pair.patterns.join(u' ') + u')';
}

int SelectedFilter(qint32 filterIndex, qsizetype pairCount)
{
    if (pairCount <= 0)
        return -1;
    if (filterIndex < 1 || filterIndex > pairCount)
        return 0;
    return filterIndex - 1;
}

qsizetype BufferLength(const QString &text) { return platform::Cp932Length(text); }

QString ProposedFileName(const QString &fileName, qint32 maxFileSize)
{
    if (maxFileSize < 2)
        return QString();
    // The buffer is the name followed by NULs: a NUL inside the name ends it.
    const qsizetype nul = fileName.indexOf(kNul);
    const QString name = nul < 0 ? fileName : fileName.left(nul);
    return platform::TruncateToCp932Bytes(name, maxFileSize - 1).toString();
}

DialogResult ChosenFiles(const QStringList &paths, bool multiSelect, qint32 maxFileSize)
{
    DialogResult result;
    result.errNumber = dlgerr::InvalidFileName;
    if (paths.isEmpty() || (paths.size() > 1 && !multiSelect))
        return result;
    for (const QString &path : paths) {
        if (path.isEmpty() || path.contains(kNul))
            return result;
    }

    qsizetype needed = 0;
    if (paths.size() == 1) {
        const QString clean = Clean(paths.constFirst());
        result.fileName = QDir::toNativeSeparators(clean);
        result.fileTitle = clean.mid(clean.lastIndexOf(u'/') + 1);
        needed = BufferLength(result.fileName) + 1;
    } else {
        // The parts are the folder the files share and the names below it.
        QList<QStringList> parts;
        for (const QString &path : paths)
            parts.append(Clean(path).split(u'/'));
        QStringList common = parts.constFirst();
        common.removeLast();
        for (const QStringList &p : parts) {
            qsizetype n = 0;
            while (n < common.size() && n < p.size() - 1 && common.at(n) == p.at(n))
                ++n;
            common.resize(n);
        }
        if (common.isEmpty())
            return result; // nothing in common: no folder to give
        QString folder = common.join(u'/');
        if (folder.isEmpty() || IsDriveOnly(folder))
            folder.append(u'/');
        QStringList texts{QDir::toNativeSeparators(folder)};
        for (const QStringList &p : parts)
            texts.append(QDir::toNativeSeparators(p.mid(common.size()).join(u'/')));
        for (const QString &text : texts)
            needed += BufferLength(text) + 1;
        needed += 1;
        result.fileName = texts.join(kNul);
    }

    if (needed > maxFileSize) {
        result.fileName.clear();
        result.fileTitle.clear();
        result.errNumber = dlgerr::BufferTooSmall;
        return result;
    }
    result.ok = true;
    result.errNumber = dlgerr::None;
    return result;
}

QString ErrDescription(qint32 number)
{
    switch (number) {
    case -32768: return QStringLiteral("関数がダイアログ ボックスをロードできません。");
    case 20476: return QStringLiteral("メンバ lpstrFile が指すバッファが小さすぎます。");
    case 20477: return QStringLiteral("ファイル名が無効です。");
    case 20478: return QStringLiteral("メモリ不足のために、リスト ボックスをサブクラス化できません。");
    case 24574: return QStringLiteral("フォントが存在しません。");
    case 28660:
        return QStringLiteral("WIN.INI ファイル内の [devices] セクションに、必要なプリンタについてのエントリがありません。");
    case 28661: return QStringLiteral("PrintDlg 関数が情報コンテキストを作成できません。");
    case 28662: return QStringLiteral("DevMode データ構造と DevNames データ構造のデータが異なるプリンタを指しています。");
    case 28663: return QStringLiteral("通常使うプリンタが設定されていません。");
    case 28664: return QStringLiteral("プリンタ ドライバが見つかりません。");
    case 28665: return QStringLiteral("PrintDlg 関数を初期化できません。");
    case 28666: return QStringLiteral("プリンタ ドライバが DevMode データ構造を初期化できません。");
    case 28667: return QStringLiteral("PrintDlg 関数が、指定したプリンタ ドライバをロードできません。");
    case 28668:
    case 28671:
        return QStringLiteral("PDReturnDefault フラグが設定されていますが、hDevMode フィールドまたは hDevNames フィールドが 0 ではありません。");
    case 28669: return QStringLiteral("CommonDialog 関数が WIN.INI の [devices] セクションの文字列を解析できません。");
    case 28670: return QStringLiteral("必要なリソースを読み込めません。");
    case 32751: return QStringLiteral("Microsoft Windows のヘルプを呼び出せません。");
    case 32752: return QStringLiteral("FileName プロパティまたは Filter プロパティにメモリを割り当てられません。");
    case 32755: return QStringLiteral("[キャンセル] ボタンが選択されました。");
    case 32757: return QStringLiteral("関数が、ハンドルに関連付けられたメモリをロックできません。");
    case 32758: return QStringLiteral("関数が、内部のデータ構造にメモリを割り当てられません。");
    case 32759: return QStringLiteral("関数が指定したリソースをロックできません。");
    case 32760:
    case 32761:
        return QStringLiteral("関数が指定したリソースをロードできません。");
    case 32765: return QStringLiteral("関数を初期化できません。");
    default: return QStringLiteral("未知のｴﾗｰです。");
    }
}

QString FileSizeText(qint64 bytes, const QLocale &locale)
{
    if (bytes < 0)
        return QString();
    const qint64 kilobytes = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
    return locale.toString(kilobytes) + QStringLiteral(" KB");
}

} // namespace support
