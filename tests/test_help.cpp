// The manual: every help topic lands on a page with text in both languages, a
// topic or link without a page lands on the contents, no page links to a page
// or picture the program does not carry, the window's search and history, the
// help menu's service items, F1 and the dialogs' help in the main window, help over
// a modal dialog, and the About box.

#include "app/HelpMenu.h"
#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "app/TFormAbout.h"
#include "app/TFormMain.h"
#include "core/HelpManual.h"
#include "core/TFormHelp.h"
#include "imaging/TFormTitleType.h"
#include "listui/ListUiFixtures.h"

#include <QAction>
#include <QDirIterator>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

namespace {
const QList<Language> kLanguages{Language::English, Language::Japanese};

QString folder(Language l)
{
    return l == Language::Japanese ? QStringLiteral("ja") : QStringLiteral("en");
}

// The pages the program carries in one language, as qrc addresses.
QList<QUrl> pages(Language l)
{
    QList<QUrl> urls;
    QDirIterator it(QStringLiteral(":/help/") + folder(l), {QStringLiteral("*.md")});
    while (it.hasNext())
        urls.append(QUrl(QStringLiteral("qrc") + it.next()));
    return urls;
}
} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

private slots:
    void everyTopicOpensAPageWithText()
    {
        for (Language l : kLanguages) {
            const HelpPages p(l);
            for (int topic : {0, 10010, 10020, 10030, 10040, 10050, 10060}) {
                TFormHelp w(l);
                w.showTopic(topic);
                const QUrl own = QUrl(QStringLiteral("qrc:/help/%1/%2.md")
                                          .arg(folder(l), HelpPages::pageName(topic)));
                QVERIFY2(w.currentPage() == own || w.currentPage() == p.contentsUrl(),
                         qPrintable(w.currentPage().toString()));
                QVERIFY(w.browser()->document()->toPlainText().trimmed().size() > 100);
            }
            // The dialogs of the program today have their own pages.
            for (int topic : {10010, 10040, 10050, 10060})
                QVERIFY2(p.topicUrl(topic) != p.contentsUrl(), qPrintable(QString::number(topic)));
        }
    }

    void missingPagesOpenTheContents()
    {
        TFormHelp w(Language::English);
        const HelpPages p(Language::English);
        w.showTopic(99999);
        QCOMPARE(w.currentPage(), p.contentsUrl());
        w.openPage(QUrl(QStringLiteral("qrc:/help/en/property-dialog.md")));
        w.openPage(QUrl(QStringLiteral("qrc:/help/en/no-such-page.md")));
        QCOMPARE(w.currentPage(), p.contentsUrl());
        // A page of the other language does not switch the manual's language.
        w.openPage(QUrl(QStringLiteral("qrc:/help/ja/commands.md")));
        QCOMPARE(w.currentPage(), p.contentsUrl());
        emit w.browser()->anchorClicked(QUrl(QStringLiteral("gone.md")));
        QCOMPARE(w.currentPage(), p.contentsUrl());
        QVERIFY(!w.browser()->document()->isEmpty());
    }

    void everyLinkAndPictureResolves()
    {
        for (Language l : kLanguages) {
            const HelpPages p(l);
            const QList<QUrl> all = pages(l);
            QVERIFY(all.size() >= 10);
            QSet<QUrl> listed{p.contentsUrl()};
            for (const HelpPages::Entry &e : p.contents())
                listed.insert(e.url);
            for (const QUrl &page : all) {
                QVERIFY2(listed.contains(page), qPrintable(page.toString() + " not in contents"));
                // The other language has the same page.
                QString other = page.path();
                other.replace(
                    QStringLiteral("/%1/").arg(folder(l)),
                    QStringLiteral("/%1/").arg(
                        folder(l == Language::English ? Language::Japanese : Language::English)));
                QVERIFY2(QFile::exists(QLatin1Char(':') + other), qPrintable(other));
                QFile file(QLatin1Char(':') + page.path());
                QVERIFY(file.open(QIODevice::ReadOnly));
                QTextDocument doc;
                doc.setMarkdown(QString::fromUtf8(file.readAll()));
                for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
                    for (auto f = b.begin(); !f.atEnd(); ++f) {
                        const QTextCharFormat format = f.fragment().charFormat();
                        const QString where = page.fileName() + ": ";
                        if (format.isImageFormat()) {
                            const QString name = format.toImageFormat().name();
                            const QUrl image = page.resolved(QUrl(name));
                            QVERIFY2(!QImage(QLatin1Char(':') + image.path()).isNull(),
                                     qPrintable(where + name));
                        } else if (format.isAnchor()) {
                            const QUrl link = page.resolved(QUrl(format.anchorHref()));
                            QVERIFY2(HelpPages::isExternal(link) || p.exists(link),
                                     qPrintable(where + format.anchorHref()));
                        }
                    }
                }
            }
        }
    }

    void findWrapsAndReportsMisses()
    {
        TFormHelp w(Language::English);
        w.showTopic(HelpManual::PropertyDialog);
        auto *find = w.findChild<QLineEdit *>(QStringLiteral("EditFind"));
        find->setText(QStringLiteral("autotrigger"));
        QCOMPARE(w.browser()->textCursor().selectedText().toLower(), QStringLiteral("autotrigger"));
        const int count = w.browser()->toPlainText().toLower().count(QStringLiteral("autotrigger"));
        QVERIFY(count > 1);
        const int first = w.browser()->textCursor().selectionStart();
        for (int i = 0; i < count; ++i)
            QVERIFY(w.findNext());
        QCOMPARE(w.browser()->textCursor().selectionStart(), first);
        find->setText(QStringLiteral("no such words here"));
        QVERIFY(!w.findNext());
        QVERIFY(!w.findChild<QLabel *>(QStringLiteral("LabelFindStatus"))->text().isEmpty());
    }

    void backAndForwardWalkThePagesSeen()
    {
        TFormHelp w(Language::Japanese);
        const HelpPages p(Language::Japanese);
        w.showTopic(HelpManual::Contents);
        w.openPage(p.topicUrl(HelpManual::Environment));
        auto *back = w.findChild<QAbstractButton *>(QStringLiteral("ButtonBack"));
        auto *forward = w.findChild<QAbstractButton *>(QStringLiteral("ButtonForward"));
        QVERIFY(back->isEnabled() && !forward->isEnabled());
        back->click();
        QCOMPARE(w.currentPage(), p.contentsUrl());
        QVERIFY(forward->isEnabled());
        forward->click();
        QCOMPARE(w.currentPage(), p.topicUrl(HelpManual::Environment));
        // The contents follow the page.
        QCOMPARE(w.contentsTree()->currentItem()->data(0, Qt::UserRole).toUrl(),
                 p.topicUrl(HelpManual::Environment));
    }

    void helpMenuServiceItemsNeedShiftAndCtrl()
    {
        QMainWindow window;
        auto *toolBar = window.addToolBar(QStringLiteral("ToolBar"));
        HelpMenu menu(window, *toolBar);
        auto *service = new QAction(QStringLiteral("service"), &window);
        menu.addServiceItem(service);
        Qt::KeyboardModifiers held;
        menu.setModifierQuery([&held] { return held; });
        for (auto [mods, visible] :
             {std::pair{Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier), true},
              std::pair{Qt::KeyboardModifiers(Qt::ShiftModifier), false},
              std::pair{Qt::KeyboardModifiers(Qt::ControlModifier), false},
              std::pair{
                  Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier),
                  true},
              std::pair{Qt::KeyboardModifiers(), false}}) {
            held = mods;
            emit menu.mnuHelp->aboutToShow();
            QCOMPARE(service->isVisible(), visible);
        }
        QVERIFY(toolBar->findChild<QWidget *>(QStringLiteral("TButtonHelp")));
    }

    void helpOverAModalDialogStaysUsableAndOutlivesIt()
    {
        QDialog dialog;
        QTimer::singleShot(0, &dialog, [&dialog] {
            HelpManual::ShowHelp(&dialog, HelpManual::Environment);
            QCOMPARE(HelpManual::HelpWindow()->parentWidget(), &dialog);
            dialog.reject();
        });
        dialog.exec();
        QWidget *help = HelpManual::HelpWindow();
        QVERIFY(help && help->isVisible() && !help->parentWidget());
        HelpManual::CloseHelp();
        QTRY_VERIFY(!HelpManual::HelpWindow());
    }

    void theMainWindowAndItsDialogsReachTheManual()
    {
        ListUiFixtures::WindowRig rig;
        TFormMain &w = *rig.window;
        QVERIFY(rig.show());
        // The help menu comes last in the menu bar, its button last on the toolbar.
        QCOMPARE(w.menuBar()->actions().constLast(), w.helpMenu().mnuHelp->menuAction());
        QToolBar *bar = w.actions().toolBar;
        QCOMPARE(bar->widgetForAction(bar->actions().constLast())->objectName(),
                 QStringLiteral("TButtonHelp"));
        // F1 opens the contents.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F1);
        QVERIFY(HelpManual::HelpWindow() && HelpManual::HelpWindow()->isVisible());
        QCOMPARE(qobject_cast<TFormHelp *>(HelpManual::HelpWindow())->currentPage(),
                 HelpPages(MessageTable::language()).contentsUrl());
        // F1 in the title type dialog opens its page, which stays open after the dialog.
        const QStringList sequence = rig.sequence(QStringLiteral("h"));
        QTimer::singleShot(0, [] {
            auto *d = qobject_cast<TFormTitleType *>(QApplication::activeModalWidget());
            QVERIFY(d);
            QTest::keyClick(d, Qt::Key_F1);
            d->reject();
        });
        w.commands().dropFiles({sequence.constFirst()});
        auto *help = qobject_cast<TFormHelp *>(HelpManual::HelpWindow());
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->currentPage().fileName(), QStringLiteral("title-type.md"));
        // Closing the main window closes the manual.
        rig.boxes.setDefaultAnswer(IdYes);
        QVERIFY(w.close());
        QTRY_VERIFY(!HelpManual::HelpWindow());
    }

    void aboutShowsTheBuildsVersionAndCloses()
    {
        TFormAbout about;
        const QString version = QStringLiteral(TITLEDECK_VERSION);
        QVERIFY(!version.isEmpty());
        QVERIFY(
            about.findChild<QLabel *>(QStringLiteral("LabelVersion"))->text().endsWith(version));
        QVERIFY(!about.findChild<QLabel *>(QStringLiteral("ImageIcon"))->pixmap().isNull());
        QCOMPARE(about.findChild<QLabel *>(QStringLiteral("LabelProductName"))->text(),
                 QStringLiteral("TitleDeck for KL-VT90"));
        for (auto [key, result] : {std::pair{Qt::Key_Escape, int(QDialog::Rejected)},
                                   std::pair{Qt::Key_Return, int(QDialog::Accepted)}}) {
            QTimer::singleShot(0, &about, [&about, key] { QTest::keyClick(&about, key); });
            QCOMPARE(about.exec(), result);
        }
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
