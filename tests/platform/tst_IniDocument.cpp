#include "platform/IniDocument.h"

#include <QTest>

using platform::IniDocument;

namespace {

QString valueOf(const IniDocument &doc, const QString &section, const QString &key)
{
    return doc.FindValue(section, key).value_or(QStringLiteral("<absent>"));
}

QByteArray utf16le(const char *ascii)
{
    QByteArray out;
    for (const char *p = ascii; *p; ++p) {
        out.append(*p);
        out.append('\0');
    }
    return out;
}

} // namespace

class tst_IniDocument : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void untouchedBytes_data();
    void untouchedBytes();
    void reading_data();
    void reading();
    void sectionNames_data();
    void sectionNames();
    void setValue_data();
    void setValue();
    void remove_data();
    void remove();
    void refusedText_data();
    void refusedText();
    void utf16File();
    void utf16OddByteBeforeNewLine_data();
    void utf16OddByteBeforeNewLine();
};

void tst_IniDocument::untouchedBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("crlf") << QByteArray("[a]\r\nk=v\r\n");
    QTest::newRow("lf, cr and mixed") << QByteArray("[a]\nk=v\rx=y\r\n\n\r");
    QTest::newRow("no final line break") << QByteArray("[a]\r\nk=v");
    QTest::newRow("comments and junk") << QByteArray("; note\r\n\t[ a ] trailing\r\nbare word\r\n  k = v  \r\n");
    QTest::newRow("invalid cp932") << QByteArray("[\x83]\r\n\x80=\xFF\xFD\r\nA\x83");
    QTest::newRow("utf-8 mark") << QByteArray("\xEF\xBB\xBF[a]\r\nk=\xE8\xA1\xA8\r\n");
    QTest::newRow("utf-16 odd byte") << QByteArray("\xFF\xFE[\0a\0]\0\r\0\n\0k", 13);
    QTest::newRow("nul bytes") << QByteArray("[a]\r\nk=\0v\r\n", 11);
}

void tst_IniDocument::untouchedBytes()
{
    QFETCH(QByteArray, bytes);
    QCOMPARE(IniDocument::Parse(bytes).Serialize(), bytes);
}

void tst_IniDocument::reading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QByteArray("[S]\r\nk=v\r\n") << "S" << "k" << "v";
    QTest::newRow("case ignored") << QByteArray("[Tools]\r\nCalc=1\r\n") << "TOOLS" << "calc" << "1";
    QTest::newRow("blanks around") << QByteArray(" [ S ] \r\n\t k \t=  v w \r\n") << "S" << "k" << "v w";
    QTest::newRow("first '=' splits") << QByteArray("[S]\r\nName=C:\\a=b.vbp\r\n") << "S" << "Name" << "C:\\a=b.vbp";
    QTest::newRow("quotes kept in stored value") << QByteArray("[S]\r\nk=\"v\"\r\n") << "S" << "k" << "\"v\"";
    QTest::newRow("lf only") << QByteArray("[S]\nk=v\n") << "S" << "k" << "v";
    QTest::newRow("cr only") << QByteArray("[S]\rk=v\r") << "S" << "k" << "v";
    QTest::newRow("last ']' closes") << QByteArray("[a]b]\r\nk=v\r\n") << "a]b" << "k" << "v";
    QTest::newRow("no ']': no section of its own") << QByteArray("[ab\r\nk=v\r\n") << "ab" << "k" << "<absent>";
    QTest::newRow("no ']': belongs to the section above") << QByteArray("[S]\r\n[ab\r\nk=v\r\n") << "S" << "k" << "v";
    QTest::newRow("no ']' but '=': a key") << QByteArray("[S]\r\n[a=b\r\n") << "S" << "[a" << "b";
    QTest::newRow("zo: 83 5D closes nothing") << QByteArray("[S]\r\n[\x83\x5D\r\nk=v\r\n") << "S" << "k" << "v";
    QTest::newRow("utf-8 line starting with U+FEFF")
        << QByteArray("\xEF\xBB\xBF[s]\r\n\xEF\xBB\xBFk=v\r\n") << "s" << QStringLiteral("\uFEFFk") << "v";
    QTest::newRow("utf-8 U+FEFF is part of the name")
        << QByteArray("\xEF\xBB\xBF[s]\r\n\xEF\xBB\xBFk=v\r\n") << "s" << "k" << "<absent>";
    QTest::newRow("so: 83 5C is no backslash") << QByteArray("[\x83\x5C]\r\nk=\x83\x5C\r\n") << "ソ" << "k" << "ソ";
    QTest::newRow("95 5D and 95 5B are no brackets")
        << QByteArray("[\x95\x5D]\r\n\x95\x5B=1\r\n") << QStringLiteral("評") << QStringLiteral("票") << "1";
    QTest::newRow("comment is no key") << QByteArray("[S]\r\n;k=v\r\n") << "S" << ";k" << "<absent>";
    QTest::newRow("keys before a section belong nowhere") << QByteArray("k=v\r\n[S]\r\n") << "" << "k" << "<absent>";
    QTest::newRow("empty section name") << QByteArray("[]\r\nk=v\r\n") << "" << "k" << "v";
    QTest::newRow("duplicate key: first") << QByteArray("[S]\r\nk=1\r\nK=2\r\n") << "S" << "k" << "1";
    QTest::newRow("duplicate section: first") << QByteArray("[S]\r\nk=1\r\n[s]\r\nk=2\r\nj=3\r\n") << "S" << "j" << "<absent>";
    QTest::newRow("empty value") << QByteArray("[S]\r\nk=\r\n") << "S" << "k" << "";
    QTest::newRow("other section") << QByteArray("[S]\r\nk=1\r\n[T]\r\n") << "T" << "k" << "<absent>";
}

void tst_IniDocument::reading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const IniDocument document = IniDocument::Parse(bytes);
    QCOMPARE(valueOf(document, section, key), expected);
    // The key lines as the mirror reads them (their bytes kept) read as the lines decoded.
    for (const QString &name : document.SectionNames()) {
        QList<std::pair<QString, QString>> texts;
        for (const auto &[keyText, valueText] : document.KeyTexts(name))
            texts.append({keyText.Text(), valueText.Text()});
        QCOMPARE(texts, document.KeyLines(name));
    }
}

void tst_IniDocument::sectionNames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("file order") << QByteArray("[Tools]\r\n[Games]\r\n") << QStringList{"Tools", "Games"};
    QTest::newRow("duplicates listed once") << QByteArray("[A]\r\n[B]\r\n[a]\r\n") << QStringList{"A", "B"};
    QTest::newRow("cp932 trail bytes 5D and 5C") << QByteArray("[\x95\x5D\x83\x5C]\r\n[\x95\x5D]]\r\n")
                                                 << QStringList{QStringLiteral("評ソ"), QStringLiteral("評]")};
    QTest::newRow("none") << QByteArray("k=v\r\n; c\r\n") << QStringList{};
    QTest::newRow("unclosed headers are none") << QByteArray("[a\r\n[S]\r\n[\x95\x5D\r\n[ b=c\r\n") << QStringList{"S"};
}

void tst_IniDocument::sectionNames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, names);
    QCOMPARE(IniDocument::Parse(bytes).SectionNames(), names);
}

void tst_IniDocument::setValue_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("new file") << QByteArray() << "S" << "k" << "v" << QByteArray("[S]\r\nk=v\r\n");
    QTest::newRow("new key after last line of its section")
        << QByteArray("[S]\r\na=1\r\n\r\n[T]\r\nb=2\r\n") << "s" << "c" << "3"
        << QByteArray("[S]\r\na=1\r\nc=3\r\n\r\n[T]\r\nb=2\r\n");
    QTest::newRow("new key after a comment ending the section")
        << QByteArray("[S]\r\na=1\r\n; end\r\n") << "S" << "c" << "3"
        << QByteArray("[S]\r\na=1\r\n; end\r\nc=3\r\n");
    QTest::newRow("new key in empty section without line break")
        << QByteArray("[S]") << "S" << "k" << "v" << QByteArray("[S]\r\nk=v\r\n");
    QTest::newRow("new section at the end, last line terminated first")
        << QByteArray("; c\n[A]\nk=v") << "B" << "x" << "y" << QByteArray("; c\n[A]\nk=v\r\n[B]\r\nx=y\r\n");
    QTest::newRow("existing key keeps line and spelling")
        << QByteArray("[S]\r\n  Key = old\r\nz=1\r\n") << "s" << "KEY" << "new"
        << QByteArray("[S]\r\n  Key =new\r\nz=1\r\n");
    QTest::newRow("lf file: rewritten line ends in crlf")
        << QByteArray("[S]\nk=1\nz=2\n") << "S" << "k" << "9" << QByteArray("[S]\nk=9\r\nz=2\n");
    QTest::newRow("same value: untouched")
        << QByteArray("[S]\n k = v \n") << "S" << "k" << "v" << QByteArray("[S]\n k = v \n");
    QTest::newRow("empty value") << QByteArray("[S]\r\nk=v\r\n") << "S" << "k" << "" << QByteArray("[S]\r\nk=\r\n");
    QTest::newRow("only first duplicate written")
        << QByteArray("[S]\r\nk=1\r\nk=2\r\n[s]\r\nk=3\r\n") << "S" << "k" << "0"
        << QByteArray("[S]\r\nk=0\r\nk=2\r\n[s]\r\nk=3\r\n");
    QTest::newRow("cp932 value") << QByteArray("[S]\r\n") << "S" << "k" << QStringLiteral("表ソ")
                                 << QByteArray("[S]\r\nk=\x95\x5C\x83\x5C\r\n");
    QTest::newRow("keys before sections stay") << QByteArray("k=v\r\n") << "S" << "k" << "w"
                                               << QByteArray("k=v\r\n[S]\r\nk=w\r\n");
    QTest::newRow("hand-written '[' key keeps its line") << QByteArray("[S]\r\n[k=1\r\n") << "S" << "[k" << "2"
                                                         << QByteArray("[S]\r\n[k=2\r\n");
    QTest::newRow("value with '=' and quotes") << QByteArray() << "S" << "k" << "\"a=b\""
                                               << QByteArray("[S]\r\nk=\"a=b\"\r\n");
}

void tst_IniDocument::setValue()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    IniDocument doc = IniDocument::Parse(before);
    const auto change = doc.SetValue(section, key, value);
    QCOMPARE(change, before == after ? IniDocument::Change::Unchanged : IniDocument::Change::Changed);
    QCOMPARE(doc.Serialize(), after);
    // What was written reads back, also from a fresh parse of the bytes.
    QCOMPARE(valueOf(doc, section, key), value);
    QCOMPARE(valueOf(IniDocument::Parse(after), section, key), value);
}

void tst_IniDocument::remove_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key"); // null: the whole section; "->name": the section renamed
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("key") << QByteArray("[S]\r\na=1\r\nb=2\r\n; c\r\n") << "s" << "A"
                         << QByteArray("[S]\r\nb=2\r\n; c\r\n");
    QTest::newRow("absent key") << QByteArray("[S]\r\na=1\r\n") << "S" << "x" << QByteArray("[S]\r\na=1\r\n");
    QTest::newRow("first of duplicate keys") << QByteArray("[S]\r\na=1\r\na=2\r\n") << "S" << "a"
                                             << QByteArray("[S]\r\na=2\r\n");
    QTest::newRow("section with its lines") << QByteArray("[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n") << "a" << QString()
                                            << QByteArray("[B]\r\nk=2\r\n");
    QTest::newRow("absent section") << QByteArray("[A]\r\n") << "B" << QString() << QByteArray("[A]\r\n");
    QTest::newRow("first of duplicate sections") << QByteArray("[A]\r\nk=1\r\n[A]\r\nk=2\r\n") << "A" << QString()
                                                 << QByteArray("[A]\r\nk=2\r\n");
    QTest::newRow("section before others") << QByteArray("[A]\r\n[B]\r\nb=1\r\n[C]\r\nc=1\r\n") << "a" << QString()
                                           << QByteArray("[B]\r\nb=1\r\n[C]\r\nc=1\r\n");
    // A rename changes the header line only; its own line break stays.
    QTest::newRow("renamed") << QByteArray("; c\n[A]\nk=1\n[B]\r\n") << "a" << "->ｶﾃｺﾞﾘｰ" << QByteArray("; c\n[\xB6\xC3\xBA\xDE\xD8\xB0]\nk=1\n[B]\r\n");
    QTest::newRow("renamed, last line without a break") << QByteArray("[A]") << "A" << "->B" << QByteArray("[B]");
    QTest::newRow("renamed in letter case") << QByteArray("[A]\r\nk=1\r\n") << "A" << "->a" << QByteArray("[a]\r\nk=1\r\n");
    QTest::newRow("renamed to another section's name") << QByteArray("[A]\r\n[B]\r\n") << "A" << "->b"
                                                       << QByteArray("[A]\r\n[B]\r\n");
    QTest::newRow("renamed, a later one of the old name comes first")
        << QByteArray("[A]\r\nk=1\r\n[B]\r\n[a]\r\nj=2\r\n") << "A" << "->C" << QByteArray("[C]\r\nk=1\r\n[B]\r\n[a]\r\nj=2\r\n");
    QTest::newRow("renamed to a name the file cannot hold") << QByteArray("[A]\r\n") << "A" << "->a]b" << QByteArray("[A]\r\n");
}

void tst_IniDocument::remove()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);
    IniDocument doc = IniDocument::Parse(before);
    const bool rename = key.startsWith(QLatin1String("->"));
    const auto change = rename         ? doc.RenameSection(section, key.mid(2))
                        : key.isNull() ? doc.RemoveSection(section)
                                       : doc.RemoveKey(section, key);
    if (rename && before == after)
        QVERIFY(change != IniDocument::Change::Changed);
    else
        QCOMPARE(change, before == after ? IniDocument::Change::Unchanged : IniDocument::Change::Changed);
    QCOMPARE(doc.Serialize(), after);
    // Finds sections and keys as a fresh parse of the bytes does.
    const IniDocument fresh = IniDocument::Parse(after);
    QCOMPARE(doc.SectionNames(), fresh.SectionNames());
    for (const QString &name : fresh.SectionNames())
        QCOMPARE(doc.KeyLines(name), fresh.KeyLines(name));
}

void tst_IniDocument::refusedText_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("line break in value") << "S" << "k" << "a\r\n[x]";
    QTest::newRow("line break in key") << "S" << "k\nz" << "v";
    QTest::newRow("line break in section") << "S\r" << "k" << "v";
    QTest::newRow("'=' in key") << "S" << "a=b" << "v";
    QTest::newRow("key starting with ';'") << "S" << ";k" << "v";
    QTest::newRow("key starting with '['") << "S" << " [k" << "v";
    QTest::newRow("nul in value") << "S" << "k" << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
    QTest::newRow("hangul in cp932 file") << "S" << "k" << "한";
    QTest::newRow("emoji in section") << "😀" << "k" << "v";
}

void tst_IniDocument::refusedText()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QByteArray before("[S]\r\nk=old\r\n");
    IniDocument doc = IniDocument::Parse(before);
    QCOMPARE(doc.SetValue(section, key, value), IniDocument::Change::Refused);
    QCOMPARE(doc.Serialize(), before);
}

void tst_IniDocument::utf16File()
{
    const QByteArray bom("\xFF\xFE", 2);
    IniDocument doc = IniDocument::Parse(bom + utf16le("[S]\r\nk=v\r\n"));
    QCOMPARE(valueOf(doc, "s", "K"), QStringLiteral("v"));
    QVERIFY(doc.CanHold(QStringLiteral("한😀")));
    QCOMPARE(doc.SetValue(QStringLiteral("S"), QStringLiteral("n"), QStringLiteral("w")), IniDocument::Change::Changed);
    QCOMPARE(doc.Serialize(), bom + utf16le("[S]\r\nk=v\r\nn=w\r\n"));
}

// An odd last byte reads as U+001A; a line added after it must not shift the units that follow.
void tst_IniDocument::utf16OddByteBeforeNewLine_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("new key in the last section") << "s" << utf16le("[s]\r\nk=v\r\n\x1A\r\nn=1\r\n");
    QTest::newRow("new section") << "t" << utf16le("[s]\r\nk=v\r\n\x1A\r\n[t]\r\nn=1\r\n");
}

void tst_IniDocument::utf16OddByteBeforeNewLine()
{
    QFETCH(QString, section);
    QFETCH(QByteArray, expected);
    const QByteArray bom("\xFF\xFE", 2);
    IniDocument doc = IniDocument::Parse(bom + utf16le("[s]\r\nk=v\r\n") + 'x');
    QCOMPARE(doc.SetValue(section, QStringLiteral("n"), QStringLiteral("1")), IniDocument::Change::Changed);
    QCOMPARE(doc.Serialize(), bom + expected);
    const IniDocument reread = IniDocument::Parse(doc.Serialize());
    QCOMPARE(valueOf(reread, section, "n"), QStringLiteral("1"));
    QCOMPARE(valueOf(reread, "s", "k"), QStringLiteral("v"));
    QCOMPARE(reread.SectionNames(), doc.SectionNames());
}

QTEST_GUILESS_MAIN(tst_IniDocument)
#include "tst_IniDocument.moc"
