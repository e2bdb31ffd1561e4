#include "core/HelpManual.h"

#include "resources/MessageTable.h"

#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace HelpManual {

namespace {
// The manual's pages are built into the program: qrc:/help/<language>/<topic>.html.
QUrl pageUrl(int topic)
{
    const QString language = MessageTable::language() == Language::Japanese ? QStringLiteral("ja")
                                                                            : QStringLiteral("en");
    const QString page = topic == Contents ? QStringLiteral("index") : QString::number(topic);
    const QString path = QStringLiteral(":/help/%1/%2.html").arg(language, page);
    return QUrl(
        QStringLiteral("qrc") +
        (QFile::exists(path) ? path : QStringLiteral(":/help/%1/index.html").arg(language)));
}
} // namespace

void ShowHelp(QWidget *parent, int topic)
{
    // One manual window for the whole run, brought forward at the asked page.
    static QPointer<QDialog> window;
    if (!window) {
        window = new QDialog(nullptr, Qt::Window);
        window->setObjectName(QStringLiteral("TFormHelp"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        auto *browser = new QTextBrowser(window);
        browser->setObjectName(QStringLiteral("HelpBrowser"));
        browser->setOpenExternalLinks(true);
        auto *layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser);
        window->resize(720, 600);
        QObject::connect(browser, &QTextBrowser::sourceChanged, window, [browser] {
            browser->window()->setWindowTitle(browser->documentTitle());
        });
    }
    auto *browser = window->findChild<QTextBrowser *>();
    browser->setSource(pageUrl(topic));
    if (parent && !window->isVisible())
        window->move(parent->window()->geometry().topRight() + QPoint(16, 0));
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace HelpManual
