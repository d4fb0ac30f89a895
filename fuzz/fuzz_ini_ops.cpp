// A sequence of reads, writes and deletions through mIniFile on a real file, decoded
// from the input. After every step the file on disk, the store's document and the
// readers must agree with what the step promised.
#include "FuzzChecks.h"

#include "catalogue/mIniFile.h"
#include "platform/IniStore.h"
#include "platform/TextCodec.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>

#include <algorithm>
#include <optional>

using platform::IniDocument;
using platform::IniNameKey;
using platform::IniStatus;
using platform::IniStore;

namespace {

const QString kDefault = QStringLiteral("\u0001default");

const QString &iniFile()
{
    static const QString path = fuzz::ScratchFolder() + QStringLiteral("/test.ini");
    return path;
}

std::optional<QByteArray> diskBytes()
{
    QFile file(iniFile());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    return file.readAll();
}

const IniDocument &document() { return IniStore::Instance().Document(iniFile()); }

// What ReadIniString must give for a stored value: one pair of quotes off, 1,023 bytes at most.
QString expectedRead(const QString &stored)
{
    QStringView v = stored;
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.sliced(1, v.size() - 2);
    v = platform::TruncateToCp932Bytes(v, mIniFile::kValueBufferBytes - 1);
    return v.isEmpty() ? kDefault : v.toString();
}

qsizetype keyCount(const QString &section, const QString &key)
{
    qsizetype n = 0;
    for (const auto &line : document().KeyLines(section))
        if (IniNameKey(line.first) == IniNameKey(key))
            ++n;
    return n;
}

class Run {
public:
    explicit Run(FuzzedDataProvider &in) : in_(in) {}

    void Start()
    {
        if (in_.ConsumeBool()) {
            const std::string initial = in_.ConsumeRandomLengthString(256);
            QFile file(iniFile());
            FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(initial.data(), qint64(initial.size())) == qint64(initial.size()),
                       "initial file");
        }
    }

    void Step()
    {
        switch (in_.ConsumeIntegralInRange(0, 10)) {
        case 0: write(text(Kind::Section), text(Kind::Key), text(Kind::Value)); break;
        case 1: write(text(Kind::Section), text(Kind::Key), QString()); break;
        case 2: writeLong(); break;
        case 3: writeBool(); break;
        case 4: deleteKey(text(Kind::Section), text(Kind::Key)); break;
        case 5: deleteSection(text(Kind::Section)); break;
        case 6: readSection(text(Kind::Section)); break;
        case 7: readSectionNames(); break;
        case 8: rewriteStored(); break;
        case 9: changeOnDisk(); break;
        case 10: batch(); break;
        }
        if (!batch_)
            checkDiskMatchesStore();
    }

    void Finish()
    {
        if (batch_) {
            const IniStatus status = batch_->Commit();
            FUZZ_CHECK(status == IniStatus::Ok || status == IniStatus::BadText, "batch commit failed");
            batch_.reset();
        }
        checkDiskMatchesStore();
    }

private:
    enum class Kind { Section, Key, Value };

    // Names and values: raw bytes in code page 932, UTF-8 or UTF-16, names already in the file
    // in other spellings, and a few texts with a known special meaning.
    QString text(Kind kind)
    {
        switch (in_.ConsumeIntegralInRange(0, 6)) {
        case 0: return platform::DecodeCp932(QByteArray::fromStdString(in_.ConsumeRandomLengthString(16)));
        case 1: return QString::fromUtf8(QByteArray::fromStdString(in_.ConsumeRandomLengthString(16)));
        case 2: {
            const std::string raw = in_.ConsumeRandomLengthString(16);
            return QString(reinterpret_cast<const QChar *>(raw.data()), qsizetype(raw.size() / 2));
        }
        case 3: {
            const QStringList names = kind == Kind::Section ? document().SectionNames() : lastKeys();
            if (names.isEmpty())
                return QStringLiteral("S");
            QString name = names[in_.ConsumeIntegralInRange<qsizetype>(0, names.size() - 1)];
            if (in_.ConsumeBool())
                name = QLatin1Char(' ') + name.toUpper() + QLatin1Char('\t');
            return name;
        }
        case 4: {
            static const QStringList special = {
                QString(), u""_qs, u" "_qs, u"a"_qs, u"A"_qs, u"ソ"_qs, u"表"_qs, u"\"q\""_qs, u"'q'"_qs, u"\""_qs,
                u"x=y"_qs, u"[s"_qs, u";c"_qs, u"a]"_qs, u"～"_qs, u"〜"_qs, u"①"_qs, u"\r"_qs, u"a\nb"_qs,
                QString(QChar(0)), u"ｱ"_qs, QString(QChar(0xD800)), u"😀"_qs, u"\x1A"_qs,
            };
            return special[in_.ConsumeIntegralInRange<qsizetype>(0, special.size() - 1)];
        }
        case 5:
            if (kind == Kind::Value) // past the 1,023-byte read limit, in one- and two-byte characters
                return QString(in_.ConsumeIntegralInRange(500, 1100), in_.ConsumeBool() ? u'表' : u'ｱ');
            return QStringLiteral("Key");
        default: return QStringLiteral("S");
        }
    }

    QStringList lastKeys()
    {
        QStringList keys;
        for (const QString &section : document().SectionNames())
            for (const auto &line : document().KeyLines(section))
                keys.append(line.first);
        return keys;
    }

    void write(const QString &section, const QString &key, const QString &value)
    {
        const auto before = diskBytes();
        const qsizetype countBefore = key.isNull() ? 0 : keyCount(section, key);
        const IniStatus status = mIniFile::TryWriteIniString(section, key, value, iniFile());
        FUZZ_CHECK(status == IniStatus::Ok || status == IniStatus::BadText, "unexpected write status");
        if (status == IniStatus::BadText) {
            if (!batch_)
                FUZZ_CHECK(diskBytes() == before, "a refused write changed the file");
            return;
        }
        if (value.isNull()) {
            checkRemoved(section, key, countBefore, before);
            return;
        }
        // A copy: any later call may read the file again and replace the document.
        const std::optional<QString> found = document().FindValue(section, key);
        FUZZ_CHECK(found && *found == platform::TrimBlanks(value), "the stored value is not the written one");
        const QString stored = *found;
        FUZZ_CHECK(mIniFile::ReadIniString(section, key, kDefault, iniFile()) == expectedRead(stored),
                   "read after write");
        // The same write again changes nothing on disk.
        const auto after = diskBytes();
        FUZZ_CHECK(mIniFile::TryWriteIniString(section, key, value, iniFile()) == IniStatus::Ok, "repeated write");
        if (!batch_)
            FUZZ_CHECK(diskBytes() == after, "a repeated write changed the file");
    }

    void writeLong()
    {
        const QString section = text(Kind::Section);
        const QString key = text(Kind::Key);
        const qint32 value = in_.ConsumeIntegral<qint32>();
        mIniFile::WriteIniLong(section, key, value, iniFile());
        if (const std::optional<QString> stored = document().FindValue(section, key); stored && *stored == QString::number(value))
            FUZZ_CHECK(mIniFile::ReadIniLong(section, key, value ^ 1, iniFile()) == value, "long read after write");
    }

    void writeBool()
    {
        const QString section = text(Kind::Section);
        const QString key = text(Kind::Key);
        const bool value = in_.ConsumeBool();
        mIniFile::WriteIniBool(section, key, value, iniFile());
        if (const std::optional<QString> stored = document().FindValue(section, key);
            stored && *stored == (value ? u"True" : u"False"))
            FUZZ_CHECK(mIniFile::ReadIniBool(section, key, !value, iniFile()) == value, "bool read after write");
    }

    void deleteKey(const QString &section, const QString &key)
    {
        const auto before = diskBytes();
        const qsizetype countBefore = keyCount(section, key);
        FUZZ_CHECK(mIniFile::DeleteIniKey(section, key, iniFile()), "DeleteIniKey failed");
        checkRemoved(section, key, countBefore, before);
    }

    void checkRemoved(const QString &section, const QString &key, qsizetype countBefore, const std::optional<QByteArray> &before)
    {
        if (countBefore == 0) {
            if (!batch_)
                FUZZ_CHECK(diskBytes() == before, "deleting an absent key changed the file");
            return;
        }
        FUZZ_CHECK(keyCount(section, key) == countBefore - 1, "a deletion took the wrong number of lines");
        if (countBefore == 1)
            FUZZ_CHECK(mIniFile::ReadIniString(section, key, kDefault, iniFile()) == kDefault, "read after delete");
    }

    void deleteSection(const QString &section)
    {
        const auto before = diskBytes();
        const QStringList names = document().SectionNames();
        const bool present = std::any_of(names.cbegin(), names.cend(),
                                         [&](const QString &s) { return IniNameKey(s) == IniNameKey(section); });
        FUZZ_CHECK(mIniFile::DeleteIniSection(section, iniFile()), "DeleteIniSection failed");
        if (!present && !batch_)
            FUZZ_CHECK(diskBytes() == before, "deleting an absent section changed the file");
    }

    void readSection(const QString &section)
    {
        QStringList names{QStringLiteral("kept")};
        const qint32 n = mIniFile::ReadIniSection(section, names, iniFile());
        const auto lines = document().KeyLines(section);
        if (n == 0) {
            FUZZ_CHECK(names == QStringList{QStringLiteral("kept")}, "an empty section read cleared the list");
            return;
        }
        FUZZ_CHECK(n == names.size() && n <= lines.size(), "section read count");
        for (qint32 i = 0; i < n; ++i)
            FUZZ_CHECK(names[i] == lines[i].first, "section read names");
    }

    void readSectionNames()
    {
        QStringList names{QStringLiteral("cleared")};
        const qint32 n = mIniFile::ReadIniSectionNames(names, iniFile());
        FUZZ_CHECK(n == names.size() && names == document().SectionNames().first(n), "section names");
    }

    void rewriteStored()
    {
        const QStringList sections = document().SectionNames();
        if (sections.isEmpty())
            return;
        const QString section = sections[in_.ConsumeIntegralInRange<qsizetype>(0, sections.size() - 1)];
        const auto lines = document().KeyLines(section);
        if (lines.isEmpty())
            return;
        const QString key = lines[in_.ConsumeIntegralInRange<qsizetype>(0, lines.size() - 1)].first;
        const QString stored = *document().FindValue(section, key);
        const auto before = diskBytes();
        mIniFile::WriteIniString(section, key, stored, iniFile());
        if (!batch_)
            FUZZ_CHECK(diskBytes() == before, "writing the stored value changed the file");
    }

    // Another program rewrites the file: the next call must see its content.
    void changeOnDisk()
    {
        if (batch_)
            return;
        const QByteArray bytes = QByteArray::fromStdString(in_.ConsumeRandomLengthString(64));
        QFile file(iniFile());
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(bytes) == bytes.size(), "append");
        file.close();
    }

    void batch()
    {
        if (!batch_) {
            batch_.emplace(iniFile());
            return;
        }
        const IniStatus status = batch_->Commit();
        FUZZ_CHECK(status == IniStatus::Ok || status == IniStatus::BadText, "batch commit failed");
        batch_.reset();
    }

    void checkDiskMatchesStore()
    {
        const auto disk = diskBytes();
        const IniDocument &cached = document();
        FUZZ_CHECK(cached.Serialize() == disk.value_or(QByteArray()), "the store's bytes differ from the disk");
        FUZZ_CHECK(fuzz::SameDocument(IniDocument::Parse(disk.value_or(QByteArray())), cached),
                   "a fresh parse differs from the store's document");
    }

    FuzzedDataProvider &in_;
    std::optional<mIniFile::IniBatch> batch_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    IniStore::Instance().Reset();
    QFile::remove(iniFile());
    FuzzedDataProvider in(data, size);
    // Every file here is younger than the racy window, so the store would read it again on
    // every call and the cache would never be tested. Three inputs in four trust a read at
    // once: then the cached document is what the checks after each step compare with the disk.
    IniStore::Instance().SetRacyWindowNs(in.ConsumeIntegralInRange(0, 3) != 0 ? 0 : IniStore::kRacyWindowNs);
    Run run(in);
    run.Start();
    for (int steps = 0; steps < 16 && in.remaining_bytes() > 0; ++steps)
        run.Step();
    run.Finish();
    // Each input frees what it parsed: otherwise libFuzzer takes every input for a leak candidate.
    IniStore::Instance().Reset();
    return 0;
}
