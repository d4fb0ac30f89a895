#include "platform/TextCodec.h"

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
    QTest::newRow("undefined single byte") << QByteArray("\x80" "a") << sub + QStringLiteral("a");
    QTest::newRow("lead byte before CR") << QByteArray("\x83\r") << sub + QStringLiteral("\r");
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

QTEST_GUILESS_MAIN(tst_TextCodec)
#include "tst_TextCodec.moc"
