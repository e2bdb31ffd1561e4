// The title type dialog: kinds per variant, the frame and icon counters with
// their caps and corrections, STILL disabling the counters, the field preview,
// help, and answering the import's question through the dialog.

#include "imaging/TFormTitleType.h"
#include "imaging/TitleTypeDialogChooser.h"
#include "listui/ListUiFixtures.h"
#include "resources/MessageTable.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

using namespace ListUiFixtures;

class TestTitleTypeDialog : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    MagickImageLibrary m_images;
    ScriptedMessageBoxes m_boxes;
    QString m_red;
    QString m_small;
    QString m_lines;

    TitleTypeQuestion question(int files, int variant = 0, const QString &file = {})
    {
        TitleTypeQuestion q;
        for (int i = 0; i < files; ++i)
            q.fileList.append(file.isEmpty() ? m_red : file);
        q.variant = variant;
        return q;
    }
    static QStringList kinds(TFormTitleType &d)
    {
        auto *box = d.findChild<QComboBox *>(QStringLiteral("CBoxType"));
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out.append(box->itemText(i));
        return out;
    }
    static QSpinBox *spin(TFormTitleType &d, const char *name)
    {
        return d.findChild<QSpinBox *>(QString::fromLatin1(name));
    }
    static void type(TFormTitleType &d, const char *edit, const QString &text)
    {
        auto *e = d.findChild<QLineEdit *>(QString::fromLatin1(edit));
        QVERIFY(e);
        e->selectAll();
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Return);
    }
    static QColor previewPixel(TFormTitleType &d, int x, int y)
    {
        auto *icon = d.findChild<QLabel *>(QStringLiteral("ImageIcon"));
        return icon->pixmap().toImage().pixelColor(x, y);
    }

private slots:
    void initTestCase()
    {
        m_red = m_env.path(QStringLiteral("red.tga"));
        m_small = m_env.path(QStringLiteral("small.tga"));
        QVERIFY(writePicture(m_images, m_red, 640, 480, QColor(255, 0, 0)));
        QVERIFY(writePicture(m_images, m_small, 320, 240, QColor(0, 0, 255)));
        // Even lines white, odd lines black: one field is all white.
        m_lines = m_env.path(QStringLiteral("lines.tga"));
        Bitmap b(640, 480, 32);
        for (int y = 0; y < 480; y += 2)
            b.fill(0, y, 640, 1, 0xFFFFFF);
        QVERIFY(m_images.save(b, m_lines, ImageFileFormat::Targa, 24));
    }

    void kindsOfEachVariant()
    {
        const QString once = MessageTable::text(45), repeat = MessageTable::text(47),
                      up = MessageTable::text(50), down = MessageTable::text(52),
                      left = MessageTable::text(55), right = MessageTable::text(57),
                      still = MessageTable::text(42);
        const QList<QStringList> expected = {
            {once, repeat, up, down, left, right, still},
            {once, repeat, left, right, still},
            {once, repeat, up, down, still},
            {once, repeat, still},
        };
        for (int variant = 0; variant < 4; ++variant) {
            TFormTitleType d(question(3, variant), m_images, m_boxes);
            QCOMPARE(kinds(d), expected.at(variant));
            QCOMPARE(d.answer().kindText, once);
        }
    }

    void frameCounterCaps()
    {
        // 241 files (the import's limit) keep all frames.
        {
            TFormTitleType d(question(241), m_images, m_boxes);
            QCOMPARE(d.frameMaximum(), 241);
            QCOMPARE(d.answer().frameCount, 241);
            QCOMPARE(d.answer().iconFrame, 1);
            QCOMPARE(d.iconMaximum(), 241);
        }
        // Longer lists are capped below fps x 60.
        {
            TFormTitleType d(question(1800), m_images, m_boxes);
            QCOMPARE(d.frameMaximum(), 1799);
        }
        {
            TitleTypeQuestion q = question(1500);
            q.framesPerSecond = 25;
            TFormTitleType d(q, m_images, m_boxes);
            QCOMPARE(d.frameMaximum(), 1499);
        }
        {
            TFormTitleType d(question(1799), m_images, m_boxes);
            QCOMPARE(d.frameMaximum(), 1799);
        }
    }

    void typedCountsAreCorrected()
    {
        TFormTitleType d(question(20), m_images, m_boxes);
        spin(d, "UpDownIcon")->setValue(8);
        // Five frames while the icon is 8 lowers the icon to 5.
        type(d, "EditFrame", QStringLiteral("5"));
        QCOMPARE(d.answer().frameCount, 5);
        QCOMPARE(d.answer().iconFrame, 5);
        QCOMPARE(d.iconMaximum(), 5);
        // Not a number, 0 or above the maximum: the maximum, written back.
        type(d, "EditFrame", QStringLiteral("abc"));
        QCOMPARE(d.answer().frameCount, 20);
        QCOMPARE(d.findChild<QLineEdit *>(QStringLiteral("EditFrame"))->text(),
                 QStringLiteral("20"));
        type(d, "EditFrame", QStringLiteral("7"));
        type(d, "EditFrame", QStringLiteral("0"));
        QCOMPARE(d.answer().frameCount, 20);
        type(d, "EditFrame", QStringLiteral("7"));
        type(d, "EditFrame", QStringLiteral("21"));
        QCOMPARE(d.answer().frameCount, 20);
        // The icon: not a number, 0 or above its maximum gives 1.
        type(d, "EditIcon", QStringLiteral("12"));
        QCOMPARE(d.answer().iconFrame, 12);
        type(d, "EditIcon", QStringLiteral("21"));
        QCOMPARE(d.answer().iconFrame, 1);
        type(d, "EditIcon", QStringLiteral("12"));
        type(d, "EditIcon", QStringLiteral("x"));
        QCOMPARE(d.answer().iconFrame, 1);
        type(d, "EditIcon", QStringLiteral("12"));
        type(d, "EditIcon", QStringLiteral("0"));
        QCOMPARE(d.answer().iconFrame, 1);
    }

    void stillDisablesTheCounters()
    {
        for (int variant : {0, 3}) {
            TFormTitleType d(question(10, variant), m_images, m_boxes);
            spin(d, "UpDownIcon")->setValue(4);
            auto *box = d.findChild<QComboBox *>(QStringLiteral("CBoxType"));
            box->setCurrentIndex(box->findText(MessageTable::text(42)));
            QCOMPARE(d.answer().iconFrame, 1);
            QVERIFY(!spin(d, "UpDownFrame")->isEnabled());
            QVERIFY(!spin(d, "UpDownIcon")->isEnabled());
            box->setCurrentIndex(0);
            QVERIFY(spin(d, "UpDownFrame")->isEnabled());
            QVERIFY(spin(d, "UpDownIcon")->isEnabled());
        }
    }

    void previewShowsOneFieldScaledToTheScreen()
    {
        {
            TFormTitleType d(question(2), m_images, m_boxes);
            QCOMPARE(previewPixel(d, 0, 0), QColor(255, 0, 0));
            QCOMPARE(previewPixel(d, 111, 83), QColor(255, 0, 0));
        }
        {
            // Half the screen: 56 x 42 in the top-left corner, the panel's colour around.
            TFormTitleType d(question(2, 3, m_small), m_images, m_boxes);
            QCOMPARE(previewPixel(d, 10, 10), QColor(0, 0, 255));
            QVERIFY(previewPixel(d, 80, 60) != QColor(0, 0, 255));
            QVERIFY(previewPixel(d, 54, 40) == QColor(0, 0, 255));
        }
        {
            TFormTitleType d(question(2, 0, m_lines), m_images, m_boxes);
            for (int y = 0; y < 84; y += 7)
                QCOMPARE(previewPixel(d, 50, y), QColor(255, 255, 255));
        }
        {
            // The preview follows the icon counter; a missing frame shows message 122.
            TitleTypeQuestion q = question(2);
            q.fileList[1] = m_small;
            TFormTitleType d(q, m_images, m_boxes);
            spin(d, "UpDownIcon")->setValue(2);
            QCOMPARE(previewPixel(d, 10, 10), QColor(0, 0, 255));
            q.fileList[1] = m_env.path(QStringLiteral("gone.tga"));
            TFormTitleType missing(q, m_images, m_boxes);
            m_boxes.clear();
            spin(missing, "UpDownIcon")->setValue(2);
            QCOMPARE(m_boxes.shownIds(), QList<int>{122});
        }
    }

    void helpOpensTopic10060()
    {
        TFormTitleType d(question(3), m_images, m_boxes);
        QList<int> topics;
        d.setHelp([&topics](int topic) { topics.append(topic); });
        QTest::keyClick(&d, Qt::Key_F1);
        QTest::mouseClick(d.findChild<QPushButton *>(QStringLiteral("ButtonHelp")), Qt::LeftButton);
        QCOMPARE(topics, (QList<int>{10060, 10060}));
    }

    void chooserAnswersThroughTheDialog()
    {
        TitleTypeDialogChooser chooser(m_images, m_boxes, nullptr);
        const auto answerWith = [](const char *button, int frames) {
            QTimer::singleShot(0, [button, frames] {
                auto *d = qobject_cast<TFormTitleType *>(QApplication::activeModalWidget());
                QVERIFY(d);
                auto *box = d->findChild<QComboBox *>(QStringLiteral("CBoxType"));
                box->setCurrentIndex(1);
                d->findChild<QSpinBox *>(QStringLiteral("UpDownFrame"))->setValue(frames);
                d->findChild<QPushButton *>(QString::fromLatin1(button))->click();
            });
        };
        answerWith("ButtonOK", 4);
        const auto answer = chooser.chooseTitleType(question(6));
        QVERIFY(answer.has_value());
        QCOMPARE(answer->kindText, MessageTable::text(47));
        QCOMPARE(answer->frameCount, 4);
        answerWith("ButtonCancel", 4);
        QVERIFY(!chooser.chooseTitleType(question(6)).has_value());
    }
};

QTEST_MAIN(TestTitleTypeDialog)
#include "test_titletypedialog.moc"
