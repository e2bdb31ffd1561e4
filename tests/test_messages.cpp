// The message and caption tables: encoding, lookup, both languages, formatting.

#include "core/MessageBoxes.h"
#include "resources/MessageTable.h"
#include "resources/MessageTexts.h"
#include "support/ScriptedMessageBoxes.h"

#include <QRegularExpression>
#include <QTest>

#include <cstring>

namespace {

// The printf-style fields of a text, in order; a lone trailing percent sign is not a field.
QStringList fieldsOf(const QString &text)
{
    static const QRegularExpression field(QStringLiteral("%[-0-9.]*[dsuxXf]"));
    QStringList out;
    for (auto it = field.globalMatch(text); it.hasNext();)
        out << it.next().captured();
    return out;
}

// Accelerator marks of a caption: '&' followed by a character other than '&'.
int acceleratorCount(const QString &caption)
{
    int n = 0;
    for (qsizetype i = 0; i + 1 < caption.size(); ++i)
        n += caption.at(i) == u'&' && caption.at(i + 1) != u'&';
    return n;
}

} // namespace

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void init() { MessageTable::setLanguage(Language::Japanese); }
    void cleanup() { MessageTable::setLanguage(Language::Japanese); }

    void textsKeepTheirBytes()
    {
        // Full-width Japanese, a line break, and a filter with its NUL separator.
        QCOMPARE(MessageTable::text(129).toUtf8(),
                 QByteArray("現在のリストは変更されています。保存しますか？", 69));
        QCOMPARE(MessageTable::text(133).toUtf8().size(), 161);
        QVERIFY(MessageTable::text(133).contains(u'\n'));
        QCOMPARE(MessageTable::text(154).toUtf8(), QByteArray("リストファイル (*.vtl)\0*.vtl", 35));
    }

    void tableIsSortedAndEveryTextHasBothLanguages()
    {
        int count = 0;
        const MessageText *table = MessageTexts::all(&count);
        QVERIFY(count > 100);
        for (int i = 0; i < count; ++i) {
            const int id = table[i].id;
            const QString name = QString::number(id);
            if (i > 0)
                QVERIFY2(table[i - 1].id < id, qPrintable(name));
            QCOMPARE(MessageTexts::find(id), &table[i]);
            const QString ja = MessageTable::text(id, Language::Japanese);
            const QString en = MessageTable::text(id, Language::English);
            QVERIFY2(!ja.isEmpty() && !en.isEmpty(), qPrintable(name));
            // English is plain text, and fills the same fields in the same order.
            for (QChar c : en)
                QVERIFY2(c.unicode() < 0x3000, qPrintable(name + u':' + en));
            QCOMPARE(fieldsOf(en), fieldsOf(ja));
            QCOMPARE(acceleratorCount(en), acceleratorCount(ja));
        }
        // Ids the program never shows have no text.
        for (int id : {-1, 0, 12, 99, 200})
            QVERIFY(!MessageTexts::find(id) && MessageTable::text(id).isEmpty());
    }

    void languageAndFormatting()
    {
        // TITLEDECK_LANG chooses, but choosing does not switch by itself.
        const QByteArray old = qgetenv("TITLEDECK_LANG");
        qputenv("TITLEDECK_LANG", "EN_us");
        QCOMPARE(MessageTable::chooseLanguage(), Language::English);
        qputenv("TITLEDECK_LANG", "ja");
        QCOMPARE(MessageTable::chooseLanguage(), Language::Japanese);
        qputenv("TITLEDECK_LANG", old);
        QCOMPARE(MessageTable::language(), Language::Japanese);
        QCOMPARE(MessageTable::format(19, {5}), QString::fromUtf8("5個のデータ"));
        // The lone percent sign after the field stays as it is.
        QCOMPARE(MessageTable::format(29, {42}), QString::fromUtf8("転送中  42%"));
        QCOMPARE(MessageTable::format(107, {7, 2, 60}),
                 QString::fromUtf8("Order7のタイトルを転送しています...     2 / 60"));
        // Missing arguments leave the field empty rather than printing garbage.
        QCOMPARE(MessageTable::format(19, {}), QString::fromUtf8("個のデータ"));
        MessageTable::setLanguage(Language::English);
        QCOMPARE(MessageTable::format(102, {3, 12}),
                 QStringLiteral("Mark3 is set on the title of Order12. Do you want to replace "
                                "this setting?"));
        QCOMPARE(MessageTable::text(155).split(QChar(0)).at(1), QStringLiteral("*.vts"));
    }

    void showMessageByIdRecordsCaptionAndText()
    {
        ScriptedMessageBoxes boxes;
        boxes.answer(IdCancel);
        QCOMPARE(ShowMessageById(boxes, 11, 129, MsgExclamationYesNoCancel), int(IdCancel));
        QCOMPARE(ShowMessageById(boxes, 1, 122, MsgError, {QStringLiteral("a.tga")}), int(IdOk));
        QCOMPARE(boxes.shownIds(), QList<int>({129, 122}));
        QCOMPARE(boxes.shown().at(0).caption, QString::fromUtf8("リスト保存の確認"));
        QCOMPARE(boxes.shown().at(0).flags, int(MsgExclamationYesNoCancel));
        QVERIFY(boxes.shown().at(1).text.contains(QStringLiteral("[ a.tga ]")));
        MessageTable::setLanguage(Language::English);
        ShowMessageById(boxes, 8, 126, MsgQuestionYesNo);
        QCOMPARE(boxes.shown().last().caption, QStringLiteral("Confirm Exit"));
    }

    void captions()
    {
        const QString file = QString::fromUtf8("ファイル(&F)");
        QCOMPARE(MessageTable::caption(file), file);
        MessageTable::setLanguage(Language::English);
        // A caption without an English form stays; a prefix of a caption is not that caption.
        QCOMPARE(MessageTable::caption(QStringLiteral("Autotake(&U)")),
                 QStringLiteral("Autotake(&U)"));
        QCOMPARE(MessageTable::caption(QString::fromUtf8("ファイル")),
                 QString::fromUtf8("ファイル"));
        QVERIFY(!MessageTexts::captionEnglish(QByteArray("ファイル(&F)\0x", 18)));

        int count = 0;
        const CaptionText *captions = MessageTexts::allCaptions(&count);
        QVERIFY(count > 100);
        for (int i = 0; i < count; ++i) {
            const QString ja = QString::fromUtf8(captions[i].japanese);
            const QString en = QString::fromUtf8(captions[i].english);
            if (i > 0)
                QVERIFY2(std::strcmp(captions[i - 1].japanese, captions[i].japanese) < 0,
                         captions[i].japanese);
            // Every entry is reachable, and keeps its accelerator and its dots.
            QCOMPARE(MessageTable::caption(ja), en);
            QCOMPARE(acceleratorCount(en), acceleratorCount(ja));
            QCOMPARE(en.endsWith(QStringLiteral("...")), ja.endsWith(QStringLiteral("...")));
        }
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "test_messages.moc"
