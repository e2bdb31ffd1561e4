// The title type dialog: kinds per variant, the frame and icon counters with
// their caps and corrections, STILL disabling the counters, the field preview,
// help, and answering the import's question through the dialog.

#include "imaging/TFormTitleType.h"
#include "imaging/TitleTypeDialogChooser.h"
#include "imaging/TitleTypeRules.h"
#include "listui/ListUiFixtures.h"

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
        q.fileList = QStringList(files, file.isEmpty() ? m_red : file);
        q.variant = variant;
        return q;
    }
    template<typename T> static T *child(TFormTitleType &d, const char *name)
    {
        return d.findChild<T *>(QString::fromLatin1(name));
    }
    static void type(TFormTitleType &d, const char *edit, const QString &text)
    {
        auto *e = child<QLineEdit>(d, edit);
        e->selectAll();
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Return);
    }
    static QColor previewPixel(TFormTitleType &d, int x, int y)
    {
        return child<QLabel>(d, "ImageIcon")->pixmap().toImage().pixelColor(x, y);
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

    void comboListsTheVariantsKindsAndStillDisablesTheCounters()
    {
        for (int variant = 0; variant < 4; ++variant) {
            TFormTitleType d(question(3, variant), m_images, m_boxes);
            auto *box = child<QComboBox>(d, "CBoxType");
            const QList<TitleTypeKind> kinds = TitleTypeRules::kindsForVariant(variant);
            QCOMPARE(box->count(), kinds.size());
            QCOMPARE(d.answer().kind, TitleTypeKind::MovieOnce);
            // Each line shows its kind's text and answers that kind.
            for (int i = 0; i < box->count(); ++i) {
                box->setCurrentIndex(i);
                QCOMPARE(box->currentText(), TitleTypeRules::kindText(kinds.at(i)));
                QCOMPARE(d.answer().kind, kinds.at(i));
            }
        }
        TFormTitleType d(question(10, 3), m_images, m_boxes);
        child<QSpinBox>(d, "UpDownIcon")->setValue(4);
        auto *box = child<QComboBox>(d, "CBoxType");
        box->setCurrentIndex(box->count() - 1); // STILL comes last
        QCOMPARE(d.answer().kind, TitleTypeKind::Still);
        QCOMPARE(d.answer().iconFrame, 1);
        QVERIFY(!child<QSpinBox>(d, "UpDownFrame")->isEnabled());
        QVERIFY(!child<QSpinBox>(d, "UpDownIcon")->isEnabled());
        box->setCurrentIndex(0);
        QVERIFY(child<QSpinBox>(d, "UpDownFrame")->isEnabled());
        QVERIFY(child<QSpinBox>(d, "UpDownIcon")->isEnabled());
    }

    void countersCapAndCorrect()
    {
        {
            // Long lists are capped below fps x 60.
            TFormTitleType d(question(1800), m_images, m_boxes);
            QCOMPARE(d.frameMaximum(), 1799);
            QCOMPARE(d.answer().frameCount, 1799);
            QCOMPARE(d.answer().iconFrame, 1);
        }
        TFormTitleType d(question(20), m_images, m_boxes);
        child<QSpinBox>(d, "UpDownIcon")->setValue(8);
        // Five frames while the icon is 8 lowers the icon to 5.
        type(d, "EditFrame", QStringLiteral("5"));
        QCOMPARE((QList{d.answer().frameCount, d.answer().iconFrame, d.iconMaximum()}),
                 (QList{5, 5, 5}));
        // Not a number, 0 or above the maximum: the maximum, written back.
        for (const char *text : {"abc", "0", "21"}) {
            type(d, "EditFrame", QStringLiteral("7"));
            type(d, "EditFrame", QString::fromLatin1(text));
            QCOMPARE(d.answer().frameCount, 20);
            QCOMPARE(child<QLineEdit>(d, "EditFrame")->text(), QStringLiteral("20"));
        }
        // The icon: not a number, 0 or above its maximum gives 1.
        for (const char *text : {"21", "x", "0"}) {
            type(d, "EditIcon", QStringLiteral("12"));
            QCOMPARE(d.answer().iconFrame, 12);
            type(d, "EditIcon", QString::fromLatin1(text));
            QCOMPARE(d.answer().iconFrame, 1);
        }
    }

    void previewShowsOneFieldScaledToTheScreen()
    {
        // The whole screen fills the panel; half of it 56 x 42 in the top-left corner,
        // the panel's colour around; of even white and odd black lines only the white.
        TFormTitleType full(question(2), m_images, m_boxes);
        TFormTitleType half(question(2, 3, m_small), m_images, m_boxes);
        TFormTitleType field(question(2, 0, m_lines), m_images, m_boxes);
        QCOMPARE((QList{previewPixel(full, 0, 0), previewPixel(full, 111, 83),
                        previewPixel(half, 54, 40), previewPixel(field, 50, 0),
                        previewPixel(field, 50, 83)}),
                 (QList<QColor>{Qt::red, Qt::red, Qt::blue, Qt::white, Qt::white}));
        QVERIFY(previewPixel(half, 80, 60) != QColor(Qt::blue));
        for (int y = 0; y < 84; y += 7)
            QCOMPARE(previewPixel(field, 50, y), QColor(Qt::white));
        // The preview follows the icon counter; a missing frame shows message 122.
        TitleTypeQuestion q = question(2);
        q.fileList[1] = m_small;
        TFormTitleType d(q, m_images, m_boxes);
        child<QSpinBox>(d, "UpDownIcon")->setValue(2);
        QCOMPARE(previewPixel(d, 10, 10), QColor(Qt::blue));
        q.fileList[1] = m_env.path(QStringLiteral("gone.tga"));
        TFormTitleType missing(q, m_images, m_boxes);
        m_boxes.clear();
        child<QSpinBox>(missing, "UpDownIcon")->setValue(2);
        QCOMPARE(m_boxes.shownIds(), QList<int>{122});
    }

    void helpOpensTopic10060()
    {
        TFormTitleType d(question(3), m_images, m_boxes);
        QList<int> topics;
        d.setHelp([&topics](int topic) { topics.append(topic); });
        QTest::keyClick(&d, Qt::Key_F1);
        QTest::mouseClick(child<QPushButton>(d, "ButtonHelp"), Qt::LeftButton);
        QCOMPARE(topics, (QList<int>{10060, 10060}));
    }

    void chooserAnswersThroughTheDialog()
    {
        TitleTypeDialogChooser chooser(m_images, m_boxes, nullptr);
        const auto answerWith = [](const char *button) {
            QTimer::singleShot(0, [button] {
                auto *d = qobject_cast<TFormTitleType *>(QApplication::activeModalWidget());
                QVERIFY(d);
                child<QComboBox>(*d, "CBoxType")->setCurrentIndex(1);
                child<QSpinBox>(*d, "UpDownFrame")->setValue(4);
                child<QPushButton>(*d, button)->click();
            });
        };
        answerWith("ButtonOK");
        const auto answer = chooser.chooseTitleType(question(6));
        QVERIFY(answer.has_value());
        QCOMPARE(answer->kind, TitleTypeKind::MovieRepeat);
        QCOMPARE(answer->frameCount, 4);
        answerWith("ButtonCancel");
        QVERIFY(!chooser.chooseTitleType(question(6)).has_value());
    }
};

QTEST_MAIN(TestTitleTypeDialog)
#include "test_titletypedialog.moc"
