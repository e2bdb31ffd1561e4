#include "core/TFormHelp.h"

#include "ui_TFormHelp.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QTreeWidget>

namespace {
QString caption(const char *japanese)
{
    return MessageTable::caption(QString::fromUtf8(japanese));
}

// The page an address shows, without its section.
QUrl pageOf(QUrl url)
{
    url.setFragment(QString());
    return url;
}
} // namespace

TFormHelp::TFormHelp(Language language, QWidget *parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TFormHelp>()), m_pages(language)
{
    ui->setupUi(this);
    setWindowTitle(caption("TitleDeck ヘルプ"));
    ui->ButtonContents->setText(caption("目次"));
    ui->ButtonBack->setText(caption("戻る"));
    ui->ButtonForward->setText(caption("進む"));
    ui->LabelFind->setText(caption("ページ内検索"));
    ui->ButtonFindPrevious->setToolTip(caption("前を検索"));
    ui->ButtonFindNext->setToolTip(caption("次を検索"));
    ui->ButtonContents->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
    ui->ButtonBack->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    ui->ButtonForward->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    ui->ButtonFindPrevious->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    ui->ButtonFindNext->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    ui->ButtonContents->setShortcut(Qt::ALT | Qt::Key_Home);
    ui->ButtonBack->setShortcut(QKeySequence::Back);
    ui->ButtonForward->setShortcut(QKeySequence::Forward);
    ui->ButtonBack->setEnabled(false);
    ui->ButtonForward->setEnabled(false);
    ui->Splitter->setStretchFactor(0, 0);
    ui->Splitter->setStretchFactor(1, 1);
    ui->Splitter->setSizes({230, 770});

    connect(ui->ButtonContents, &QToolButton::clicked, this, &TFormHelp::ButtonContentsClick);
    connect(ui->ButtonBack, &QToolButton::clicked, ui->HelpBrowser, &QTextBrowser::backward);
    connect(ui->ButtonForward, &QToolButton::clicked, ui->HelpBrowser, &QTextBrowser::forward);
    connect(ui->HelpBrowser, &QTextBrowser::backwardAvailable, ui->ButtonBack,
            &QWidget::setEnabled);
    connect(ui->HelpBrowser, &QTextBrowser::forwardAvailable, ui->ButtonForward,
            &QWidget::setEnabled);
    connect(ui->HelpBrowser, &QTextBrowser::anchorClicked, this,
            &TFormHelp::HelpBrowserAnchorClicked);
    connect(ui->HelpBrowser, &QTextBrowser::sourceChanged, this,
            &TFormHelp::HelpBrowserSourceChanged);
    connect(ui->TreeContents, &QTreeWidget::itemActivated, this,
            &TFormHelp::TreeContentsItemActivated);
    connect(ui->TreeContents, &QTreeWidget::itemClicked, this,
            &TFormHelp::TreeContentsItemActivated);
    connect(ui->EditFind, &QLineEdit::textChanged, this, &TFormHelp::EditFindChange);
    connect(ui->EditFind, &QLineEdit::returnPressed, this, [this] { findNext(); });
    connect(ui->ButtonFindNext, &QToolButton::clicked, this, [this] { findNext(); });
    connect(ui->ButtonFindPrevious, &QToolButton::clicked, this, [this] { findNext(true); });
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        ui->EditFind->setFocus();
        ui->EditFind->selectAll();
    });
    auto *next = new QShortcut(QKeySequence::FindNext, this);
    connect(next, &QShortcut::activated, this, [this] { findNext(); });
    auto *previous = new QShortcut(QKeySequence::FindPrevious, this);
    connect(previous, &QShortcut::activated, this, [this] { findNext(true); });

    fillContents();
}

TFormHelp::~TFormHelp() = default;

QTextBrowser *TFormHelp::browser() const
{
    return ui->HelpBrowser;
}

QTreeWidget *TFormHelp::contentsTree() const
{
    return ui->TreeContents;
}

QUrl TFormHelp::currentPage() const
{
    return ui->HelpBrowser->source();
}

void TFormHelp::fillContents()
{
    // The contents page itself heads the tree; the pages it lists follow,
    // nested as it nests them.
    const QUrl contents = m_pages.contentsUrl();
    auto *top = new QTreeWidgetItem(ui->TreeContents, {m_pages.title(contents)});
    top->setData(0, Qt::UserRole, contents);
    QList<QTreeWidgetItem *> parents{top};
    for (const HelpPages::Entry &e : m_pages.contents()) {
        const int level = qBound(0, e.level, int(parents.size()) - 1);
        auto *item = new QTreeWidgetItem(parents.at(level), {e.title});
        item->setData(0, Qt::UserRole, e.url);
        parents.resize(level + 1);
        parents.append(item);
    }
    ui->TreeContents->expandAll();
}

void TFormHelp::showTopic(int topic)
{
    openPage(m_pages.topicUrl(topic));
}

void TFormHelp::openPage(const QUrl &url)
{
    const QUrl target = m_pages.resolve(url);
    if (HelpPages::isExternal(target)) {
        QDesktopServices::openUrl(target);
        return;
    }
    // The same page again only moves to its section (or stays).
    if (pageOf(target) == pageOf(currentPage()) && target.fragment().isEmpty())
        return;
    ui->HelpBrowser->setSource(target);
}

void TFormHelp::ButtonContentsClick()
{
    openPage(m_pages.contentsUrl());
}

void TFormHelp::HelpBrowserAnchorClicked(const QUrl &link)
{
    openPage(currentPage().resolved(link));
}

void TFormHelp::HelpBrowserSourceChanged(const QUrl &url)
{
    const QString title = m_pages.title(pageOf(url));
    setWindowTitle(caption("TitleDeck ヘルプ") + QStringLiteral(" - ") + title);
    // The contents follow the page shown.
    const QUrl page = pageOf(url);
    for (QTreeWidgetItemIterator it(ui->TreeContents); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toUrl() == page) {
            ui->TreeContents->setCurrentItem(*it);
            break;
        }
    }
    ui->LabelFindStatus->clear();
}

void TFormHelp::TreeContentsItemActivated()
{
    if (QTreeWidgetItem *item = ui->TreeContents->currentItem())
        openPage(item->data(0, Qt::UserRole).toUrl());
}

void TFormHelp::EditFindChange()
{
    // Typing searches from the start of the current match, so the match
    // grows with the text instead of jumping on.
    QTextCursor cursor = ui->HelpBrowser->textCursor();
    cursor.setPosition(cursor.selectionStart());
    ui->HelpBrowser->setTextCursor(cursor);
    if (ui->EditFind->text().isEmpty()) {
        ui->LabelFindStatus->clear();
        return;
    }
    findNext();
}

bool TFormHelp::findNext(bool backward)
{
    const QString text = ui->EditFind->text();
    if (text.isEmpty())
        return false;
    QTextBrowser *b = ui->HelpBrowser;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = b->find(text, flags);
    if (!found) {
        // Wrap around: go on from the other end of the page.
        const QTextCursor kept = b->textCursor();
        QTextCursor cursor(b->document());
        cursor.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        b->setTextCursor(cursor);
        found = b->find(text, flags);
        if (!found)
            b->setTextCursor(kept);
    }
    ui->LabelFindStatus->setText(found ? QString() : caption("見つかりません"));
    return found;
}

void TFormHelp::keyPressEvent(QKeyEvent *event)
{
    // Escape leaves the search field for the page; on the page it closes
    // the window, as a dialog's help window closes.
    if (event->key() == Qt::Key_Escape) {
        if (ui->EditFind->hasFocus())
            ui->HelpBrowser->setFocus();
        else
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}
