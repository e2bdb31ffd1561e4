#pragma once

#include "core/HelpPages.h"

#include <QUrl>
#include <QWidget>
#include <memory>

class QTextBrowser;
class QTreeWidget;

namespace Ui {
class TFormHelp;
}

// The manual's window: the contents beside the page, back and forward
// through the pages seen, and a search within the page. Every way to a page
// (topic, link, contents) ends on a page that exists: the contents stand in
// for a missing one.
class TFormHelp : public QWidget
{
    Q_OBJECT

public:
    explicit TFormHelp(Language language, QWidget *parent = nullptr);
    ~TFormHelp() override;

    void showTopic(int topic);
    // Opens a page of the manual (a missing one opens the contents).
    void openPage(const QUrl &url);
    QUrl currentPage() const;
    QTextBrowser *browser() const;
    QTreeWidget *contentsTree() const;

    // Finds the text of the search field from the caret on, wrapping at the
    // end of the page; false when the page does not hold it.
    bool findNext(bool backward = false);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ButtonContentsClick();
    void HelpBrowserAnchorClicked(const QUrl &link);
    void HelpBrowserSourceChanged(const QUrl &url);
    void TreeContentsItemActivated();
    void EditFindChange();
    void fillContents();

    std::unique_ptr<Ui::TFormHelp> ui;
    HelpPages m_pages;
};
