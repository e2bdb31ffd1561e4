#include "list/ImageImport.h"

#include "core/MessageBoxes.h"
#include "core/ParallelWork.h"
#include "core/Settings.h"
#include "imaging/ImageLibrary.h"
#include "imaging/TitleTypeChooser.h"
#include "imaging/TitleTypeRules.h"
#include "list/Cp932.h"
#include "list/ListFile.h"
#include "list/ListServices.h"
#include "list/PropertyHistory.h"
#include "list/TitleEntry.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <algorithm>
#include <cstring>
#include <vector>

Q_LOGGING_CATEGORY(lcImport, "titledeck.list.import", QtWarningMsg)

namespace {

// A path the list file cannot hold is refused with this message ("check the
// file name"): the closest text the table has for it.
// The program's own message: the name cannot be written into a list file.
constexpr int UnstorablePathMessageId = 156;

// Bytes 16-31 of the attributes as the defaults give them (no wait times).
void applyDefaultEffects(TitleAttributes &a, const DefaultTitleSettings &d)
{
    a.setEffectFlags(Effect::In, d.InEffType);
    a.setSlideSpeedByte(Effect::In, d.InSpeed);
    a.setEffPatternWord(Effect::In, d.InEffPattern);
    a.setEffTimeFrame(Effect::In, d.InEffTimeFrame);
    a.setEffTimeSecond(Effect::In, d.InEffTimeSecond);
    a.setWaitFrame(Effect::In, 0);
    a.setWaitSecond(Effect::In, 0);
    a.setEffectFlags(Effect::Out, d.OutEffType);
    a.setSlideSpeedByte(Effect::Out, d.OutSpeed);
    a.setEffPatternWord(Effect::Out, d.OutEffPattern);
    a.setEffTimeFrame(Effect::Out, d.OutEffTimeFrame);
    a.setEffTimeSecond(Effect::Out, d.OutEffTimeSecond);
    a.setWaitFrame(Effect::Out, 0);
    a.setWaitSecond(Effect::Out, 0);
}

void setDuration(TitleAttributes &a, int frames, int fps)
{
    const int s = frames / fps;
    a.setDurMinute(std::min(s / 60, 255));
    a.setDurSecond(s % 60);
    a.setDurFrame(frames % fps);
}

// The file name without its folder, cut to the 128 bytes of the name field.
QString nameField(const QString &fileName)
{
    const QByteArray bytes = Cp932::encodeTruncated(QFileInfo(fileName).fileName(), 128);
    return Cp932::decodeField(bytes.constData(), std::size_t(bytes.size()));
}

} // namespace

bool ImageImport::DetectSequence(const QString &fileName, QStringList &list, int maxFiles)
{
    const QFileInfo info(fileName);
    const QString suffix = info.suffix();
    const QString extension = suffix.isEmpty() ? QString() : QStringLiteral(".") + suffix;
    const QString stem = fileName.left(fileName.size() - extension.size());
    qsizetype n = 0;
    while (n < stem.size() && n < 18) {
        const QChar c = stem.at(stem.size() - 1 - n);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        ++n;
    }
    if (n == 0)
        return false;
    const QString digits = stem.right(n);
    const QString prefix = stem.left(stem.size() - n);
    const bool padded = digits.startsWith(QLatin1Char('0'));
    const qulonglong start = digits.toULongLong() + 1;
    const qsizetype before = list.size();
    for (int k = 0; k < maxFiles; ++k) {
        QString number = QString::number(start + qulonglong(k));
        if (padded)
            number = number.rightJustified(n, QLatin1Char('0'));
        const QString name = prefix + number + extension;
        if (!QFileInfo::exists(name))
            break;
        list.append(name);
    }
    return list.size() > before;
}

bool ImageImport::checkStorablePath(const QString &fileName)
{
    if (ListRecord::pathField(fileName))
        return true;
    qCInfo(lcImport) << "path cannot be kept in a list file:" << fileName;
    ShowMessageById(m_services.boxes, 1, UnstorablePathMessageId, MsgError, {fileName});
    return false;
}

bool ImageImport::UseHistoryOnAdd(TitleEntry &entry, const QString &path)
{
    return UseHistoryOnAdd(entry, path, m_services.settings.Environment.HistoryMode);
}

bool ImageImport::UseHistoryOnAdd(TitleEntry &entry, const QString &path, int historyMode)
{
    if (historyMode != 0 && historyMode != 1)
        return false;
    std::optional<ListRecord> record = m_services.history.FindHistory(path);
    if (!record)
        return false;
    if (historyMode == 1 && ShowMessageById(m_services.boxes, 9, 127, MsgQuestionYesNo) != IdYes)
        return false;
    record->FirstFile = path;
    record->Mark = 0;
    if (!ListFile::LoadTitleRecord(entry, *record, false, m_services)) {
        entry = TitleEntry::create();
        return false;
    }
    return true;
}

bool ImageImport::MakeTitleFromImage(const QString &fileName, TitleEntry &entry, bool isIntVideo)
{
    const VideoFormatParams &format = m_services.format();
    const DefaultTitleSettings &defaults = m_services.settings.Default;
    TitleAttributes &a = entry.Attributes;
    a = TitleAttributes();
    entry.FileList = QStringList{fileName};

    const std::optional<ImageInfo> first = m_services.images.fileInfo(fileName);
    if (!first)
        return false;
    a.setBlocksPerFrame(format.blocksForHeight(first->height));
    a.setWidth(std::min(first->width, format.maxWidth()));
    a.setHeight(std::min(first->height, format.maxHeight()));

    QString kind = TitleTypeRules::kindsForVariant(3).constLast(); // STILL
    QStringList found;
    if (!DetectSequence(fileName, found)) {
        entry.IconFrame = 1;
    } else {
        entry.FileList += found;
        const bool fullWidth = a.width() == format.maxWidth();
        const bool fullHeight = a.height() == format.maxHeight();
        TitleTypeQuestion question;
        question.fileList = entry.FileList;
        question.variant = isIntVideo ? 3 : fullWidth ? (fullHeight ? 0 : 1) : (fullHeight ? 2 : 3);
        question.framesPerSecond = format.framesPerSecond;
        question.fullWidth = format.maxWidth();
        question.fullHeight = format.maxHeight();
        question.pictureWidth = first->width;
        question.pictureHeight = first->height;
        question.isIntVideo = isIntVideo;
        const std::optional<TitleTypeAnswer> raw = m_services.chooser.chooseTitleType(question);
        if (!raw)
            return false;
        const std::optional<TitleTypeAnswer> answer = TitleTypeRules::clampAnswer(question, *raw);
        if (!answer) {
            qCInfo(lcImport) << "title type answer not offered:" << raw->kindText;
            return false;
        }
        kind = answer->kindText;
        entry.IconFrame = answer->iconFrame;
        while (entry.FileList.size() > answer->frameCount)
            entry.FileList.removeLast();
    }

    // The frames' headers are read on worker threads; the interface stays alive.
    const int frames = int(entry.FileList.size());
    std::vector<std::optional<ImageInfo>> infos(std::size_t(std::max(frames - 1, 0)));
    ImageLibrary &images = m_services.images;
    const QStringList files = entry.FileList;
    ParallelWork::run(m_services.waits, frames - 1, [&infos, &images, &files](int i) {
        infos[std::size_t(i)] = images.fileInfo(files.at(i + 1));
    });
    for (const std::optional<ImageInfo> &info : infos) {
        if (!info)
            return false;
        if (info->width != first->width || info->height != first->height) {
            ShowMessageById(m_services.boxes, 1, 121, MsgError);
            return false;
        }
    }

    a.setTypeFlags(TitleTypeRules::typeFlagsForKind(kind).value_or(0));
    a.setMemoryNo(MemoryNo::NotStored);
    a.setFrameCount(frames);
    entry.Name = nameField(fileName);
    entry.Comment.clear();
    entry.Selected = false;
    entry.NoRoom = false;
    entry.Mark = 0;

    applyDefaultEffects(a, defaults);
    if (a.blocksPerFrame() != 8) {
        for (Effect e : {Effect::In, Effect::Out}) {
            if (a.slideDirection(e) == 1 || a.slideDirection(e) == 2)
                a.setSlideDirection(e, 0);
        }
    }
    if (m_services.isConnected() && m_services.checkEffectPatterns) {
        const std::optional<std::pair<std::uint16_t, std::uint16_t>> checked =
            m_services.checkEffectPatterns(a.effPatternWord(Effect::In),
                                           a.effPatternWord(Effect::Out));
        if (checked) {
            a.setEffPattern(Effect::In, checked->first & 0x3FFF);
            a.setEffPattern(Effect::Out, checked->second & 0x3FFF);
        }
    }

    const int fps = format.framesPerSecond;
    switch (a.kind()) {
    case TitleKind::Still:
        a.setDurFrame(defaults.StillDurFrame);
        a.setDurSecond(defaults.StillDurSecond);
        a.setDurMinute(defaults.StillDurMinute);
        a.bytes()[15] = 0;
        break;
    case TitleKind::Movie:
        if (a.movieRepeat()) {
            a.setDurFrame(defaults.MovieDurFrame);
            a.setDurSecond(defaults.MovieDurSecond);
            a.setDurMinute(defaults.MovieDurMinute);
            a.bytes()[15] = 0;
        } else {
            setDuration(a, frames, fps);
            a.setAutoTrigger(Effect::Out, true);
        }
        break;
    case TitleKind::Roll:
    case TitleKind::Crawl: {
        const bool roll = a.kind() == TitleKind::Roll;
        a.setSlideDirection(Effect::In, 0);
        a.setSlideDirection(Effect::Out, 0);
        a.setRollCrawlSpeedByte(std::uint8_t(roll ? defaults.RollSpeed : defaults.CrawlSpeed));
        a.setAutoTrigger(Effect::Out, true);
        // The settings keep the speed within 2..64; never divide by less than 2.
        const int speed = std::max(a.rollCrawlSpeed(), 2);
        const long long distance = (frames + 1LL) * (roll ? format.maxHeight() : 720);
        const long long n = (distance + 2LL * speed - 1) / (2LL * speed);
        setDuration(a, int(std::min<long long>(n, 1 << 30)), fps);
        break;
    }
    }
    a.setPositionX(a.kind() == TitleKind::Crawl ? 0 : defaults.PositionX);
    a.setPositionY(a.kind() == TitleKind::Roll
                       ? 0
                       : (format.isPal ? defaults.PositionYPal : defaults.PositionYNtsc));
    return true;
}
