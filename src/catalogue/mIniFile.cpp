#include "catalogue/mIniFile.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <limits>

using platform::IniDocument;
using platform::IniStatus;
using platform::IniStore;

namespace mIniFile {

namespace {

QStringView unquoted(QStringView value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

// The key's text as the 1,024-byte buffer returns it; empty when absent or empty.
QString readValue(const QString &section, const QString &key, const QString &file)
{
    if (file.isEmpty())
        return QString();
    const std::optional<QString> stored = IniStore::Instance().Document(file).FindValue(section, key);
    if (!stored)
        return QString();
    return platform::TruncateToCp932Bytes(unquoted(*stored), kValueBufferBytes - 1).toString();
}

} // namespace

QString ValueText(const QString &stored)
{
    const QStringView text = unquoted(stored);
    // Most values have no quotes: share the stored text instead of copying it.
    return text.size() == stored.size() ? stored : text.toString();
}

QString ReadIniString(const QString &section, const QString &key, const QString &defaultValue, const QString &file)
{
    QString value = readValue(section, key, file);
    return value.isEmpty() ? defaultValue : value;
}

qint32 ReadIniLong(const QString &section, const QString &key, qint32 defaultValue, const QString &file)
{
    const QString value = readValue(section, key, file);
    if (value.isEmpty())
        return defaultValue;
    const QStringView text = platform::TrimBlanks(value);
    // Leading decimal digits with an optional sign; text that is no number reads as 0.
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    qint64 magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > qint64(std::numeric_limits<qint32>::max()) + 1)
            magnitude = qint64(std::numeric_limits<qint32>::max()) + 1;
    }
    const qint64 result = negative ? -magnitude : magnitude;
    return qint32(std::clamp<qint64>(result, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

bool ReadIniBool(const QString &section, const QString &key, bool defaultValue, const QString &file)
{
    const QString text = readValue(section, key, file);
    if (text.isEmpty())
        return defaultValue;
    const QStringView word = platform::TrimBlanks(text);
    if (word.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double number = word.toDouble(&isNumber);
    if (isNumber)
        return number != 0.0;
    return defaultValue; // neither a Boolean word nor a number
}

IniStatus TryWriteIniString(const QString &section, const QString &key, const QString &value, const QString &file)
{
    if (key.isNull())
        return IniStatus::BadText; // removing a whole section is DeleteIniSection's job
    if (value.isNull())
        return IniStore::Instance().RemoveKey(file, section, key);
    return IniStore::Instance().SetValue(file, section, key, value);
}

void WriteIniString(const QString &section, const QString &key, const QString &value, const QString &file)
{
    TryWriteIniString(section, key, value, file);
}

void WriteIniLong(const QString &section, const QString &key, qint32 value, const QString &file)
{
    WriteIniString(section, key, QString::number(value), file);
}

void WriteIniBool(const QString &section, const QString &key, bool value, const QString &file)
{
    WriteIniString(section, key, value ? QStringLiteral("True") : QStringLiteral("False"), file);
}

bool DeleteIniSection(const QString &section, const QString &file)
{
    return IniStore::Instance().RemoveSection(file, section) == IniStatus::Ok;
}

bool DeleteIniKey(const QString &section, const QString &key, const QString &file)
{
    return IniStore::Instance().RemoveKey(file, section, key) == IniStatus::Ok;
}

qint32 ReadIniSection(const QString &section, QStringList &names, const QString &file)
{
    if (file.isEmpty())
        return 0;
    // Every key, however long the list: a cut list would let a save or a rename drop the rest.
    QStringList found;
    for (const auto &entry : IniStore::Instance().Document(file).KeyLines(section))
        found.append(entry.first);
    if (found.isEmpty())
        return 0; // the caller's list stays as it was
    names = found;
    return qint32(found.size());
}

qint32 ReadIniSectionNames(QStringList &names, const QString &file)
{
    names.clear();
    if (file.isEmpty())
        return 0;
    names = IniStore::Instance().Document(file).SectionNames();
    return qint32(names.size());
}


bool IniCanHold(const QString &text, const QString &file) { return IniStore::Instance().CanHold(file, text); }

IniBatch::IniBatch(const QString &file) : file_(file) { IniStore::Instance().BeginBatch(file_); }

IniBatch::~IniBatch()
{
    if (open_)
        IniStore::Instance().EndBatch(file_);
}

IniStatus IniBatch::Commit()
{
    if (!open_)
        return IniStatus::Ok;
    open_ = false;
    return IniStore::Instance().EndBatch(file_);
}

void IniBatch::Abandon()
{
    if (!open_)
        return;
    open_ = false;
    IniStore::Instance().AbandonBatch(file_);
}

} // namespace mIniFile
