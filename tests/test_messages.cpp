#include "core/MessageBoxes.h"
#include "resources/MessageTable.h"
#include "resources/MessageTexts.h"
#include "support/ScriptedMessageBoxes.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <cstring>

namespace {

// The printf-style fields of a text, in order ("%d", "%02d", "%s" ...); a lone
// trailing percent sign is not a field.
QStringList fieldsOf(const QString &text)
{
    static const QRegularExpression field(QStringLiteral("%[-0-9.]*[dsuxXf]"));
    QStringList out;
    auto it = field.globalMatch(text);
    while (it.hasNext())
        out << it.next().captured();
    return out;
}

// Accelerator marks of a caption: '&' followed by a character other than '&'.
int acceleratorCount(const QString &caption)
{
    int n = 0;
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) == u'&' && caption.at(i + 1) != u'&')
            ++n;
    }
    return n;
}

class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void init() { MessageTable::setLanguage(Language::Japanese); }
    void cleanup() { MessageTable::setLanguage(Language::Japanese); }

    void japaneseTextIsExact_data();
    void japaneseTextIsExact();
    void tableIsSortedWithTheKnownGaps();
    void everyMessageHasBothLanguages();
    void fieldsAgreeBetweenLanguages();
    void filterTextsKeepTheirSeparator();
    void currentLanguageSelectsTheText();
    void formatFillsFieldsInOrder();
    void showMessageByIdRecordsCaptionAndText();
    void chooseLanguageHonoursTheEnvironment();
    void captionsTranslateWhenEnglish();
    void captionTableIsSortedAndComplete();
};

void TestMessages::japaneseTextIsExact_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("81") << 81 << QByteArray("このプログラムは既に実行中です", 45);
    QTest::newRow("101") << 101 << QByteArray("未接続", 9);
    QTest::newRow("100") << 100 << QByteArray("接続中", 9);
    QTest::newRow("105") << 105
                         << QByteArray("登録可能なタイトル数の上限を超えるため、タイトルを追加でき"
                                       "ません。不要なタイトルを削除してください。",
                                       150);
    QTest::newRow("122")
        << 122
        << QByteArray("画像ファイル [ %s ] "
                      "が見つかりません。ファイルが移動または削除された可能性があります。",
                      125);
    QTest::newRow("123")
        << 123
        << QByteArray(
               "PCのリソースが不足しているため処理を実行できません。アプリケーションを終了します。",
               122);
    QTest::newRow("126") << 126 << QByteArray("アプリケーションを終了してよろしいですか？", 63);
    QTest::newRow("129") << 129 << QByteArray("現在のリストは変更されています。保存しますか？", 69);
    QTest::newRow("136")
        << 136
        << QByteArray("DSK実行中のため、処理を実行できません。DSK終了後にやり直してください。",
                      102);
    QTest::newRow("20") << 20 << QByteArray("（変更あり）", 18);
    QTest::newRow("59") << 59 << QByteArray("New List", 8);
    QTest::newRow("19") << 19 << QByteArray("%d個のデータ", 17);
    QTest::newRow("102")
        << 102
        << QByteArray(
               "Mark%dはOrder%dのタイトルに設定されています。設定を置き換えてもよろしいですか？",
               112);
    QTest::newRow("1") << 1 << QByteArray("エラー", 9);
    QTest::newRow("8") << 8 << QByteArray("終了の確認", 15);
    QTest::newRow("11") << 11 << QByteArray("リスト保存の確認", 24);
    QTest::newRow("42") << 42 << QByteArray("STILL", 5);
    QTest::newRow("43") << 43 << QByteArray("MOVIE", 5);
    QTest::newRow("44") << 44 << QByteArray("MOVIE O", 7);
    QTest::newRow("45") << 45 << QByteArray("MOVIE ONCE", 10);
    QTest::newRow("46") << 46 << QByteArray("MOVIE R", 7);
    QTest::newRow("47") << 47 << QByteArray("MOVIE REPEAT", 12);
    QTest::newRow("48") << 48 << QByteArray("ROLL", 4);
    QTest::newRow("49") << 49 << QByteArray("ROLL U", 6);
    QTest::newRow("50") << 50 << QByteArray("ROLL UP", 7);
    QTest::newRow("51") << 51 << QByteArray("ROLL D", 6);
    QTest::newRow("52") << 52 << QByteArray("ROLL DOWN", 9);
    QTest::newRow("53") << 53 << QByteArray("CRAWL", 5);
    QTest::newRow("54") << 54 << QByteArray("CRAWL L", 7);
    QTest::newRow("55") << 55 << QByteArray("CRAWL LEFT", 10);
    QTest::newRow("56") << 56 << QByteArray("CRAWL R", 7);
    QTest::newRow("57") << 57 << QByteArray("CRAWL RIGHT", 11);
    QTest::newRow("58") << 58 << QByteArray("DISS", 4);
    QTest::newRow("21") << 21 << QByteArray("ON  開始待ち", 16);
    QTest::newRow("29") << 29 << QByteArray("転送中  %d%", 14);
    QTest::newRow("86")
        << 86
        << QByteArray("ファイル[ %s ] または連番ファイルの一部が存在しません。データを破棄します。",
                      109);
    QTest::newRow("107") << 107
                         << QByteArray("Order%dのタイトルを転送しています...     %d / %d", 61);
    QTest::newRow("133") << 133
                         << QByteArray("本体が設定変更中のため、処理を行うことができません。\n液晶"
                                       "の「Loading...」表示が消えてからやりなおしてください。",
                                       161);
    QTest::newRow("134") << 134
                         << QByteArray("本体が転送不可状態にあるため、転送を行うことができません。"
                                       "\n時間を置いてやりなおしてください。",
                                       139);
    QTest::newRow("138")
        << 138
        << QByteArray(
               "設定データの書き込みが完了しました。\n\nKL-VT90の電源を入れなおしてください。",
               108);
    QTest::newRow("119") << 119
                         << QByteArray("（現在の送出リストを閉じて新規のリストを作成します）", 78);
    QTest::newRow("125") << 125
                         << QByteArray("ファイル [ %s ] "
                                       "はすでに存在します。上書きしてよろしいですか？（以降のファ"
                                       "イルはすべて上書きされます）",
                                       149);
    QTest::newRow("154") << 154 << QByteArray("リストファイル (*.vtl)\0*.vtl", 35);
    QTest::newRow("155") << 155 << QByteArray("設定ファイル (*.vts)\0*.vts", 32);
}

void TestMessages::japaneseTextIsExact()
{
    QFETCH(int, id);
    QFETCH(QByteArray, expected);
    const MessageText *m = MessageTexts::find(id);
    QVERIFY(m);
    QCOMPARE(QByteArray(m->japanese.data(), qsizetype(m->japanese.size())), expected);
    QCOMPARE(MessageTable::text(id, Language::Japanese).toUtf8(), expected);
    QCOMPARE(MessageTable::text(id).toUtf8(), expected);
}

void TestMessages::tableIsSortedWithTheKnownGaps()
{
    // Ids the program never shows; they have no text at all.
    const QSet<int> gaps = {12,  33,  71,  72,  73,  74,  75,  76,  77,  78, 79,  82,
                            83,  84,  92,  93,  94,  95,  96,  97,  98,  99, 116, 132,
                            140, 141, 142, 143, 144, 145, 146, 147, 148, 149};
    int count = 0;
    const MessageText *table = MessageTexts::all(&count);
    QVERIFY(table);
    // 156 onward are the program's own additions.
    const QSet<int> added = {156};
    QCOMPARE(count, 155 - int(gaps.size()) + int(added.size()));
    for (int i = 1; i < count; ++i)
        QVERIFY2(table[i - 1].id < table[i].id, qPrintable(QString::number(table[i].id)));
    QVERIFY(table[0].id >= 1);
    QVERIFY(table[count - 1].id <= 156);

    for (int id = -1; id <= 160; ++id) {
        const bool expected = (id >= 1 && id <= 155 && !gaps.contains(id)) || added.contains(id);
        const MessageText *m = MessageTexts::find(id);
        QVERIFY2(bool(m) == expected, qPrintable(QString::number(id)));
        if (m)
            QCOMPARE(m->id, id);
        else
            QVERIFY(MessageTable::text(id).isEmpty());
    }
}

void TestMessages::everyMessageHasBothLanguages()
{
    int count = 0;
    const MessageText *table = MessageTexts::all(&count);
    for (int i = 0; i < count; ++i) {
        const QString id = QString::number(table[i].id);
        QVERIFY2(!table[i].japanese.empty(), qPrintable(id));
        QVERIFY2(!table[i].english.empty(), qPrintable(id));
        QVERIFY2(!MessageTable::text(table[i].id, Language::English).isEmpty(), qPrintable(id));
        // English text is plain: no Japanese characters left behind.
        const QString en = MessageTable::text(table[i].id, Language::English);
        for (QChar c : en)
            QVERIFY2(c.unicode() < 0x3000, qPrintable(id + QStringLiteral(": ") + en));
    }
}

void TestMessages::fieldsAgreeBetweenLanguages()
{
    int count = 0;
    const MessageText *table = MessageTexts::all(&count);
    for (int i = 0; i < count; ++i) {
        const int id = table[i].id;
        QCOMPARE(fieldsOf(MessageTable::text(id, Language::English)),
                 fieldsOf(MessageTable::text(id, Language::Japanese)));
        // Menu captions among the messages keep an accelerator in both languages.
        QCOMPARE(acceleratorCount(MessageTable::text(id, Language::English)),
                 acceleratorCount(MessageTable::text(id, Language::Japanese)));
    }
    QCOMPARE(fieldsOf(MessageTable::text(107)),
             QStringList({QStringLiteral("%d"), QStringLiteral("%d"), QStringLiteral("%d")}));
    QVERIFY(fieldsOf(MessageTable::text(29)).size() == 1);
}

void TestMessages::filterTextsKeepTheirSeparator()
{
    for (Language language : {Language::Japanese, Language::English}) {
        const QStringList list = MessageTable::text(154, language).split(QChar(0));
        QCOMPARE(list.size(), 2);
        QVERIFY(list.at(0).endsWith(QStringLiteral("(*.vtl)")));
        QCOMPARE(list.at(1), QStringLiteral("*.vtl"));
        const QStringList setup = MessageTable::text(155, language).split(QChar(0));
        QCOMPARE(setup.size(), 2);
        QVERIFY(setup.at(0).endsWith(QStringLiteral("(*.vts)")));
        QCOMPARE(setup.at(1), QStringLiteral("*.vts"));
    }
    QCOMPARE(MessageTable::text(154).split(QChar(0)).at(0),
             QString::fromUtf8("リストファイル (*.vtl)"));
}

void TestMessages::currentLanguageSelectsTheText()
{
    QCOMPARE(MessageTable::text(1), QString::fromUtf8("エラー"));
    MessageTable::setLanguage(Language::English);
    QCOMPARE(MessageTable::language(), Language::English);
    QCOMPARE(MessageTable::text(1), QStringLiteral("Error"));
    QCOMPARE(MessageTable::text(101), QStringLiteral("Not connected"));
    // Names and column headers read the same in both languages.
    QCOMPARE(MessageTable::text(47), QStringLiteral("MOVIE REPEAT"));
    QCOMPARE(MessageTable::text(69), QStringLiteral("NAME/COMMENT"));
    QVERIFY(MessageTable::text(133).contains(u'\n'));
}

void TestMessages::formatFillsFieldsInOrder()
{
    QCOMPARE(MessageTable::format(102, {3, 12}),
             QString::fromUtf8("Mark3はOrder12のタイトルに設定されています。"
                               "設定を置き換えてもよろしいですか？"));
    QCOMPARE(MessageTable::format(19, {5}), QString::fromUtf8("5個のデータ"));
    // The lone percent sign after the field stays as it is.
    QCOMPARE(MessageTable::format(29, {42}), QString::fromUtf8("転送中  42%"));
    QCOMPARE(MessageTable::format(107, {7, 2, 60}),
             QString::fromUtf8("Order7のタイトルを転送しています...     2 / 60"));
    QCOMPARE(MessageTable::format(122, {QStringLiteral("logo.tga")}),
             QString::fromUtf8("画像ファイル [ logo.tga ] が見つかりません。"
                               "ファイルが移動または削除された可能性があります。"));
    // Missing arguments leave the field empty rather than printing garbage.
    QCOMPARE(MessageTable::format(19, {}), QString::fromUtf8("個のデータ"));
    MessageTable::setLanguage(Language::English);
    QCOMPARE(MessageTable::format(102, {3, 12}),
             QStringLiteral("Mark3 is set on the title of Order12. Do you want to replace this "
                            "setting?"));
}

void TestMessages::showMessageByIdRecordsCaptionAndText()
{
    ScriptedMessageBoxes boxes;
    boxes.answer(IdCancel);
    QCOMPARE(ShowMessageById(boxes, 11, 129, MsgExclamationYesNoCancel), int(IdCancel));
    QCOMPARE(ShowMessageById(boxes, 1, 122, MsgError, {QStringLiteral("a.tga")}), int(IdOk));
    QCOMPARE(boxes.shown().size(), 2);
    const auto &first = boxes.shown().at(0);
    QCOMPARE(first.captionId, 11);
    QCOMPARE(first.textId, 129);
    QCOMPARE(first.caption, QString::fromUtf8("リスト保存の確認"));
    QCOMPARE(first.text, QString::fromUtf8("現在のリストは変更されています。保存しますか？"));
    QCOMPARE(first.flags, int(MsgExclamationYesNoCancel));
    const auto &second = boxes.shown().at(1);
    QCOMPARE(second.caption, QString::fromUtf8("エラー"));
    QVERIFY(second.text.contains(QStringLiteral("[ a.tga ]")));
    QCOMPARE(boxes.shownIds(), QList<int>({129, 122}));

    MessageTable::setLanguage(Language::English);
    boxes.clear();
    ShowMessageById(boxes, 8, 126, MsgQuestionYesNo);
    QCOMPARE(boxes.shown().at(0).caption, QStringLiteral("Confirm Exit"));
    QCOMPARE(boxes.shown().at(0).text, QStringLiteral("Quit the application?"));
}

void TestMessages::chooseLanguageHonoursTheEnvironment()
{
    {
        ScopedEnv env("TITLEDECK_LANG", "en");
        QCOMPARE(MessageTable::chooseLanguage(), Language::English);
    }
    {
        ScopedEnv env("TITLEDECK_LANG", "ja");
        QCOMPARE(MessageTable::chooseLanguage(), Language::Japanese);
    }
    {
        ScopedEnv env("TITLEDECK_LANG", "EN_us");
        QCOMPARE(MessageTable::chooseLanguage(), Language::English);
    }
    // Choosing does not switch by itself.
    QCOMPARE(MessageTable::language(), Language::Japanese);
}

void TestMessages::captionsTranslateWhenEnglish()
{
    const QString file = QString::fromUtf8("ファイル(&F)");
    QCOMPARE(MessageTable::caption(file), file);
    MessageTable::setLanguage(Language::English);
    QCOMPARE(MessageTable::caption(file), QStringLiteral("&File"));
    QCOMPARE(MessageTable::caption(QString::fromUtf8("リストの新規作成(&N)")),
             QStringLiteral("&New List"));
    QCOMPARE(MessageTable::caption(QString::fromUtf8("本体情報")),
             QStringLiteral("Mixer Information"));
    QCOMPARE(MessageTable::caption(QString::fromUtf8("キャンセル")), QStringLiteral("Cancel"));
    QCOMPARE(MessageTable::caption(QString::fromUtf8("全領域のクリア(&A)")),
             QStringLiteral("Clear &All Areas"));
    // A caption without an English form, or one already in English, stays.
    QCOMPARE(MessageTable::caption(QStringLiteral("Autotake(&U)")), QStringLiteral("Autotake(&U)"));
    QCOMPARE(MessageTable::caption(QString::fromUtf8("未知の項目")),
             QString::fromUtf8("未知の項目"));
    QCOMPARE(MessageTable::caption(QString()), QString());
    // A prefix of a caption is not that caption.
    QCOMPARE(MessageTable::caption(QString::fromUtf8("ファイル")), QString::fromUtf8("ファイル"));
}

void TestMessages::captionTableIsSortedAndComplete()
{
    int count = 0;
    const CaptionText *captions = MessageTexts::allCaptions(&count);
    QVERIFY(count > 100);
    for (int i = 0; i < count; ++i) {
        const QString ja = QString::fromUtf8(captions[i].japanese);
        const QString en = QString::fromUtf8(captions[i].english);
        QVERIFY2(!en.isEmpty(), captions[i].japanese);
        if (i > 0)
            QVERIFY2(std::strcmp(captions[i - 1].japanese, captions[i].japanese) < 0,
                     captions[i].japanese);
        // Every entry is reachable through the lookup.
        QCOMPARE(MessageTexts::captionEnglish(QByteArray(captions[i].japanese)),
                 captions[i].english);
        // Menu captions keep exactly one accelerator.
        QCOMPARE(acceleratorCount(en), acceleratorCount(ja));
        QCOMPARE(en.endsWith(QStringLiteral("...")), ja.endsWith(QStringLiteral("...")));
    }
    QVERIFY(!MessageTexts::captionEnglish(QByteArray("ファイル(&F)\0x", 18)));
}

QTEST_GUILESS_MAIN(TestMessages)
#include "test_messages.moc"
