#include "CliTitleTypeChooser.h"

#include "CliCommand.h"
#include "imaging/TitleTypeRules.h"
#include "resources/MessageTable.h"

std::optional<QString> CliTitleTypeChooser::kindText(const QString &option)
{
    static constexpr std::pair<const char *, int> kinds[] = {
        {"still", TitleTypeRules::KindStillId},
        {"movie-once", TitleTypeRules::KindMovieOnceId},
        {"movie-repeat", TitleTypeRules::KindMovieRepeatId},
        {"roll-up", TitleTypeRules::KindRollUpId},
        {"roll-down", TitleTypeRules::KindRollDownId},
        {"crawl-left", TitleTypeRules::KindCrawlLeftId},
        {"crawl-right", TitleTypeRules::KindCrawlRightId},
    };
    for (const auto &[name, id] : kinds) {
        if (option == QLatin1String(name))
            return MessageTable::text(id);
    }
    return std::nullopt;
}

std::optional<TitleTypeAnswer>
CliTitleTypeChooser::chooseTitleType(const TitleTypeQuestion &question)
{
    const QStringList offered = TitleTypeRules::kindsForVariant(question.variant);
    TitleTypeAnswer answer;
    answer.kindText = m_kind.isEmpty() ? offered.constFirst() : m_kind;
    if (!offered.contains(answer.kindText)) {
        cliErr() << "titledeck-cli: " << answer.kindText << " is not possible for "
                 << question.fileList.constFirst()
                 << " (possible: " << offered.join(QStringLiteral(", ")) << ")\n";
        return std::nullopt;
    }
    const int maximum =
        TitleTypeRules::frameMaximum(int(question.fileList.size()), question.framesPerSecond);
    // The counters correct what is typed into them as the dialog does.
    answer.frameCount =
        m_frames > 0 ? TitleTypeRules::correctedFrameCount(QString::number(m_frames), maximum)
                     : maximum;
    answer.iconFrame =
        m_icon > 0 ? TitleTypeRules::correctedIconFrame(QString::number(m_icon), answer.frameCount)
                   : 1;
    return answer;
}
