#include "CliTitleTypeChooser.h"

#include "CliCommand.h"
#include "imaging/TitleTypeRules.h"

#include <QStringList>
#include <utility>

namespace {

constexpr std::pair<const char *, TitleTypeKind> Options[] = {
    {"still", TitleTypeKind::Still},
    {"movie-once", TitleTypeKind::MovieOnce},
    {"movie-repeat", TitleTypeKind::MovieRepeat},
    {"roll-up", TitleTypeKind::RollUp},
    {"roll-down", TitleTypeKind::RollDown},
    {"crawl-left", TitleTypeKind::CrawlLeft},
    {"crawl-right", TitleTypeKind::CrawlRight},
};

} // namespace

std::optional<TitleTypeKind> CliTitleTypeChooser::kindOption(const QString &option)
{
    for (const auto &[name, kind] : Options) {
        if (option == QLatin1String(name))
            return kind;
    }
    return std::nullopt;
}

QString CliTitleTypeChooser::optionOf(TitleTypeKind kind)
{
    for (const auto &[name, k] : Options) {
        if (k == kind)
            return QString::fromLatin1(name);
    }
    return QString();
}

std::optional<TitleTypeAnswer>
CliTitleTypeChooser::chooseTitleType(const TitleTypeQuestion &question)
{
    const QList<TitleTypeKind> offered = TitleTypeRules::kindsForVariant(question.variant);
    TitleTypeAnswer answer;
    answer.kind = m_kind.value_or(offered.constFirst());
    if (!offered.contains(answer.kind)) {
        QStringList possible;
        for (TitleTypeKind kind : offered)
            possible << optionOf(kind);
        cliErr() << "titledeck-cli: " << optionOf(answer.kind) << " is not possible for "
                 << question.fileList.constFirst()
                 << " (possible: " << possible.join(QStringLiteral(", ")) << ")\n";
        ++m_refusals;
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
