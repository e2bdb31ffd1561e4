#pragma once

#include "resources/MessageTable.h"

#include <QList>
#include <QString>
#include <QUrl>

// The manual's pages as the program carries them: one Markdown file per page
// under qrc:/help/<ja|en>/, the contents page "index.md" listing every page.
// Maps help topics to pages and keeps every way into the manual on a page
// that exists: a topic or a link without a page leads to the contents.
class HelpPages
{
public:
    explicit HelpPages(Language language);

    // One line of the contents: a page's title and address, indented by level.
    struct Entry
    {
        QString title;
        QUrl url;
        int level = 0;
    };

    // The page file of a help topic (without folder), empty for a topic
    // the manual does not know.
    static QString pageName(int topic);
    // Links that leave the manual (web, mail) and are handed to the desktop.
    static bool isExternal(const QUrl &url);

    QUrl contentsUrl() const;
    // The topic's page, or the contents when the manual has none for it.
    QUrl topicUrl(int topic) const;
    // Where a link inside the manual leads: the page itself (with its
    // section) when it exists, otherwise the contents. Other links unchanged.
    QUrl resolve(const QUrl &url) const;
    bool exists(const QUrl &url) const;

    // The contents page's list of pages, in its order.
    QList<Entry> contents() const;
    // A page's title: its first heading, or its file name without one.
    QString title(const QUrl &page) const;

private:
    QUrl pageUrl(const QString &name) const;

    QString m_folder;
};
