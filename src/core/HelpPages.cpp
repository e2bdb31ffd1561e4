#include "core/HelpPages.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
struct TopicPage
{
    int topic;
    const char *page;
};

// The dialogs' help topics and the pages that describe them.
constexpr TopicPage kTopicPages[] = {
    {0, "index"},
    {10010, "property-dialog"},
    {10020, "memory-window"},
    {10030, "memory-setting"},
    {10040, "default-properties"},
    {10050, "environment"},
    {10060, "title-type"},
};

QString resourcePath(const QUrl &url)
{
    return QLatin1Char(':') + url.path();
}

QString readPage(const QUrl &url)
{
    QFile file(resourcePath(url));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
} // namespace

HelpPages::HelpPages(Language language)
    : m_folder(language == Language::Japanese ? QStringLiteral("ja") : QStringLiteral("en"))
{}

QString HelpPages::pageName(int topic)
{
    for (const TopicPage &t : kTopicPages)
        if (t.topic == topic)
            return QString::fromLatin1(t.page);
    return {};
}

bool HelpPages::isExternal(const QUrl &url)
{
    const QString scheme = url.scheme();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("mailto");
}

QUrl HelpPages::pageUrl(const QString &name) const
{
    return QUrl(QStringLiteral("qrc:/help/%1/%2.md").arg(m_folder, name));
}

QUrl HelpPages::contentsUrl() const
{
    return pageUrl(QStringLiteral("index"));
}

bool HelpPages::exists(const QUrl &url) const
{
    if (url.scheme() != QLatin1String("qrc"))
        return false;
    const QFileInfo info(resourcePath(url));
    return info.isFile() && info.size() > 0;
}

QUrl HelpPages::topicUrl(int topic) const
{
    const QString name = pageName(topic);
    if (name.isEmpty())
        return contentsUrl();
    return resolve(pageUrl(name));
}

QUrl HelpPages::resolve(const QUrl &url) const
{
    if (isExternal(url))
        return url;
    QUrl page = url;
    page.setFragment(QString());
    // Only the pages of this language count: a page that exists in the other
    // language alone would switch the manual's language half-way.
    const QString prefix = QStringLiteral("/help/%1/").arg(m_folder);
    if (!url.path().startsWith(prefix) || !exists(page))
        return contentsUrl();
    return url;
}

QList<HelpPages::Entry> HelpPages::contents() const
{
    // List items of the contents page that link to a page: "- [Title](page.md)",
    // nested by two blanks per level.
    static const QRegularExpression item(QStringLiteral(R"(^( *)[-*] +\[([^\]]+)\]\(([^)\s]+)\))"));
    const QUrl base = contentsUrl();
    QList<Entry> entries;
    const QStringList lines = readPage(base).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = item.match(line);
        if (!m.hasMatch())
            continue;
        const QUrl target = base.resolved(QUrl(m.captured(3)));
        if (isExternal(target))
            continue;
        entries.append({m.captured(2), target, int(m.captured(1).size() / 2)});
    }
    return entries;
}

QString HelpPages::title(const QUrl &page) const
{
    static const QRegularExpression heading(QStringLiteral(R"(^#+ +(.+?) *#*$)"));
    const QStringList lines = readPage(page).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = heading.match(line.trimmed());
        if (m.hasMatch())
            return m.captured(1);
    }
    return QFileInfo(page.path()).completeBaseName();
}
