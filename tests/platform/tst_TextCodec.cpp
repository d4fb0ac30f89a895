#include "platform/StoredText.h"
#include "platform/TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

using namespace platform;

class tst_TextCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cp932RoundTrip_data();
    void cp932RoundTrip();
    void cp932Unencodable_data();
    void cp932Unencodable();
    void cp932InvalidBytes_data();
    void cp932InvalidBytes();
    void truncate_data();
    void truncate();
    void detectEncoding_data();
    void detectEncoding();
    void utf16();
    void utf8KeepsLeadingFeff();
    void cp932AgreesWithConverterEverywhere();
    void cp932DuplicateCodesEncodeAsMicrosoftDoes_data();
    void cp932DuplicateCodesEncodeAsMicrosoftDoes();
    void storedPair_data();
    void storedPair();
};

void tst_TextCodec::cp932RoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QStringLiteral("Calc=C:\\Src") << QByteArray("Calc=C:\\Src");
    QTest::newRow("so, trail 5C") << QStringLiteral("ソ") << QByteArray::fromHex("835c");
    QTest::newRow("hyou, trail 5C") << QStringLiteral("表") << QByteArray::fromHex("955c");
    QTest::newRow("wave dash is FF5E") << QString(QChar(0xFF5E)) << QByteArray::fromHex("8160");
    QTest::newRow("fullwidth backslash") << QString(QChar(0xFF3C)) << QByteArray::fromHex("815f");
    QTest::newRow("circled one (NEC row 13)") << QString(QChar(0x2460)) << QByteArray::fromHex("8740");
    QTest::newRow("half-width katakana") << QStringLiteral("ﾃﾞｰﾀ") << QByteArray::fromHex("c3deb0c0");
    QTest::newRow("ideographic space") << QString(QChar(0x3000)) << QByteArray::fromHex("8140");
    QTest::newRow("backslash and tilde stay ASCII") << QStringLiteral("\\~") << QByteArray("\\~");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("single bytes outside the table, as Windows reads them")
        << QStringLiteral("\u0080\uF8F0\uF8F1\uF8F2\uF8F3") << QByteArray("\x80\xA0\xFD\xFE\xFF");
}

void tst_TextCodec::cp932RoundTrip()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const auto encoded = EncodeCp932(text);
    QVERIFY(encoded.has_value());
    QCOMPARE(*encoded, bytes);
    QCOMPARE(DecodeCp932(bytes), text);
    QCOMPARE(Cp932Length(text), bytes.size());
}

void tst_TextCodec::cp932Unencodable_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("hangul") << QStringLiteral("한글.vbp");
    QTest::newRow("emoji") << QStringLiteral("a😀b");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800));
    QTest::newRow("simplified-only han") << QStringLiteral("这");
}

void tst_TextCodec::cp932Unencodable()
{
    QFETCH(QString, text);
    QVERIFY(!EncodeCp932(text).has_value());
    QVERIFY(!Cp932CanHold(text));
}

void tst_TextCodec::cp932InvalidBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString sub(QChar(0x1A));
    QTest::newRow("lone lead byte at end") << QByteArray("A\x83") << QStringLiteral("A") + sub;
    QTest::newRow("lead byte before '='") << QByteArray("\x83=B") << sub + QStringLiteral("=B");
    QTest::newRow("lead byte before a byte no pair ends with") << QByteArray("\x83\xFD" "a") << sub + QStringLiteral("\uF8F1a");
    QTest::newRow("lead byte before CR") << QByteArray("\x83\r") << sub + QStringLiteral("\r");
    QTest::newRow("unmapped pair is one character") << QByteArray("\x85\x40z") << sub + QStringLiteral("z");
    QTest::newRow("0xFF alone is Windows' U+F8F3") << QByteArray("a\xFF") << QStringLiteral("a\uF8F3");
    // Microsoft's table keeps control bytes as they are, also next to double-byte text.
    QTest::newRow("control bytes stay ASCII") << QByteArray("\x83\x5C\x1A\x1C\x7F")
                                              << QStringLiteral("ソ\x1A\x1C\x7F");
    QTest::newRow("lead byte before control byte") << QByteArray("\x83\x1C") << sub + QStringLiteral("\x1C");
}

void tst_TextCodec::cp932InvalidBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(DecodeCp932(bytes), text);
}

void tst_TextCodec::truncate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fits") << QStringLiteral("abc") << 3 << QStringLiteral("abc");
    QTest::newRow("cut ascii") << QStringLiteral("abcd") << 3 << QStringLiteral("abc");
    QTest::newRow("never inside a double-byte char") << QStringLiteral("A表") << 2 << QStringLiteral("A");
    QTest::newRow("double-byte exactly fits") << QStringLiteral("A表") << 3 << QStringLiteral("A表");
    QTest::newRow("half-width kana is one byte") << QStringLiteral("ｱｲｳ") << 2 << QStringLiteral("ｱｲ");
    QTest::newRow("surrogate pair stays whole") << QStringLiteral("a😀") << 2 << QStringLiteral("a");
    QTest::newRow("zero") << QStringLiteral("abc") << 0 << QString();
}

void tst_TextCodec::truncate()
{
    QFETCH(QString, text);
    QFETCH(int, maxBytes);
    QFETCH(QString, expected);
    QCOMPARE(TruncateToCp932Bytes(text, maxBytes).toString(), expected);
}

void tst_TextCodec::detectEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<int>("bomLength");
    QTest::newRow("none") << QByteArray("[a]") << int(TextEncoding::Cp932) << 0;
    QTest::newRow("utf-8") << QByteArray("\xEF\xBB\xBF[a]") << int(TextEncoding::Utf8) << 3;
    QTest::newRow("utf-16le") << QByteArray("\xFF\xFE[\0", 4) << int(TextEncoding::Utf16LE) << 2;
    QTest::newRow("utf-16be") << QByteArray("\xFE\xFF\0[", 4) << int(TextEncoding::Utf16BE) << 2;
    QTest::newRow("truncated utf-8 mark") << QByteArray("\xEF\xBB") << int(TextEncoding::Cp932) << 0;
    QTest::newRow("empty") << QByteArray() << int(TextEncoding::Cp932) << 0;
}

void tst_TextCodec::detectEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(int, bomLength);
    qsizetype length = -1;
    QCOMPARE(int(DetectEncoding(bytes, &length)), encoding);
    QCOMPARE(length, bomLength);
}

void tst_TextCodec::utf16()
{
    const QString text = QStringLiteral("表😀");
    const auto le = Encode(text, TextEncoding::Utf16LE);
    const auto be = Encode(text, TextEncoding::Utf16BE);
    QVERIFY(le && be);
    QCOMPARE(*le, QByteArray::fromHex("68883dd800de"));
    QCOMPARE(*be, QByteArray::fromHex("8868d83dde00"));
    QCOMPARE(Decode(*le, TextEncoding::Utf16LE), text);
    QCOMPARE(Decode(*be, TextEncoding::Utf16BE), text);
    // An odd trailing byte is not lost silently.
    QCOMPARE(Decode(QByteArray("a\0b", 3), TextEncoding::Utf16LE), QStringLiteral("a") + QChar(0x1A));
    QVERIFY(!Encode(QString(QChar(0xDC00)), TextEncoding::Utf8).has_value());
}

// The file's mark is detected before lines are decoded; inside a line U+FEFF is text.
void tst_TextCodec::utf8KeepsLeadingFeff()
{
    const QString text = QStringLiteral("\uFEFFk=\uFEFF");
    const auto bytes = Encode(text, TextEncoding::Utf8);
    QVERIFY(bytes);
    QCOMPARE(*bytes, QByteArray("\xEF\xBB\xBFk=\xEF\xBB\xBF"));
    QCOMPARE(Decode(*bytes, TextEncoding::Utf8), text);
}

// The tables must give what the converter gives for every printable character:
// each valid pair decodes as the converter decodes it (or to U+001A when it has no
// mapping), and each decoded character encodes back to the converter's choice.
void tst_TextCodec::cp932AgreesWithConverterEverywhere()
{
    int mismatches = 0;
    int mapped = 0;
    auto isLead = [](int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); };
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLead(lead))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const char pair[] = {char(lead), char(trail)};
            QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
            const QString converted = decoder.decode(QByteArrayView(pair, 2));
            const bool isMapped = converted.size() == 1 && converted[0].unicode() >= 0x80
                                  && converted[0] != QChar::ReplacementCharacter;
            const QString expected = isMapped ? converted : QString(QChar(0x1A));
            const QString actual = DecodeCp932(QByteArrayView(pair, 2));
            if (actual != expected && ++mismatches <= 5)
                qWarning("decode %02X %02X", lead, trail);
            if (!isMapped)
                continue;
            ++mapped;
            QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
            const QByteArray encoded = encoder.encode(expected);
            if (EncodeCp932(expected) != std::optional<QByteArray>(encoded) && ++mismatches <= 5)
                qWarning("encode U+%04X", expected[0].unicode());
        }
    }
    QCOMPARE(mismatches, 0);
    QVERIFY2(mapped > 7000, "the table lost most of the code page");
}

void tst_TextCodec::cp932DuplicateCodesEncodeAsMicrosoftDoes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("not sign: JIS row, not NEC-selected IBM") << QStringLiteral("\uFFE2") << QByteArray("\x81\xCA");
    QTest::newRow("roman numeral one: NEC row 13") << QStringLiteral("\u2160") << QByteArray("\x87\x54");
    QTest::newRow("small roman one: IBM extension") << QStringLiteral("\u2170") << QByteArray("\xFA\x40");
    QTest::newRow("because: JIS row") << QStringLiteral("\u2235") << QByteArray("\x81\xE6");
    QTest::newRow("wave dash") << QStringLiteral("\uFF5E") << QByteArray("\x81\x60");
}

void tst_TextCodec::cp932DuplicateCodesEncodeAsMicrosoftDoes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(platform::EncodeCp932(text).value_or("<none>"), bytes);
    QCOMPARE(platform::DecodeCp932(bytes), text);
}

// A name and a path from one key line keep one block; texts of two blocks are copied into one.
void tst_TextCodec::storedPair_data()
{
    QTest::addColumn<int>("firstAt"); // into the line; -1: text of its own, -2: none
    QTest::addColumn<int>("secondAt");
    QTest::addColumn<bool>("within"); // both in the line: they can move with it
    QTest::newRow("one key line") << 0 << 5 << true;
    QTest::newRow("renamed") << -1 << 5 << false;
    QTest::newRow("path of its own") << 0 << -1 << false;
    QTest::newRow("no name") << -2 << 5 << false;
    QTest::newRow("no path") << 0 << -2 << false;
}

void tst_TextCodec::storedPair()
{
    QFETCH(int, firstAt);
    QFETCH(int, secondAt);
    QFETCH(bool, within);
    const QByteArray line = "\x8a\x4a\x94\xad=/p/a.vbp"; // 開発=/p/a.vbp in code page 932
    const auto text = [&](int at, qsizetype size, const QString &own) {
        return at == -2 ? StoredText() : at == -1 ? StoredText(own) : StoredText(line, at, size, TextEncoding::Cp932);
    };
    const StoredText first = text(firstAt, 4, QStringLiteral("名前"));
    const StoredText second = text(secondAt, 8, QStringLiteral("/q/b.vbp"));
    const StoredPair pair(first, second);
    QCOMPARE(pair.First().Text(), first.Text());
    QCOMPARE(pair.Second().Text(), second.Text());
    QCOMPARE(pair.SecondIsEmpty(), second.IsEmpty());
    QCOMPARE(pair.Within(line, 0, line.size()), within);
    if (within) {
        const QByteArray later = "[x]\n" + line;
        const StoredPair moved = pair.Moved(later, 4);
        QCOMPARE(moved.First().Text(), first.Text());
        QCOMPARE(moved.Second().Text(), second.Text());
        QVERIFY(moved.Within(later, 4, line.size()));
    }
}

QTEST_GUILESS_MAIN(tst_TextCodec)
#include "tst_TextCodec.moc"
