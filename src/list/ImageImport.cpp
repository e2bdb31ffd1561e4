#include "list/ImageImport.h"

#include "core/MessageBoxes.h"
#include "core/ParallelWork.h"
#include "core/RollCrawlDuration.h"
#include "core/Settings.h"
#include "imaging/ImageLibrary.h"
#include "imaging/Thumbnail.h"
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
#include <vector>

Q_LOGGING_CATEGORY(lcImport, "titledeck.list.import", QtWarningMsg)

namespace {

// A path the list file cannot hold is refused with the program's own message:
// the name cannot be written into a list file.
constexpr int UnstorablePathMessageId = 156;
// Message 121: the frames of a sequence differ in size.
constexpr int FrameSizesDifferMessageId = 121;
// Only a full-height title (eight blocks a frame) may slide up or down.
constexpr int FullHeightBlocks = 8;
constexpr int SlideUp = 1;
constexpr int SlideDown = 2;

// One effect's eight bytes of the attributes as the defaults give them (no wait time).
void applyDefaultEffect(TitleAttributes &a, Effect effect, std::uint8_t type, std::uint8_t speed,
                        std::uint16_t pattern, std::uint8_t frame, std::uint8_t second)
{
    a.setEffectFlags(effect, type);
    a.setSlideSpeedByte(effect, speed);
    a.setEffPatternWord(effect, pattern);
    a.setEffTimeFrame(effect, frame);
    a.setEffTimeSecond(effect, second);
    a.setWaitFrame(effect, 0);
    a.setWaitSecond(effect, 0);
}

// Bytes 16-31 of the attributes: the in and out effects.
void applyDefaultEffects(TitleAttributes &a, const DefaultTitleSettings &d)
{
    applyDefaultEffect(a, Effect::In, d.InEffType, d.InSpeed, d.InEffPattern, d.InEffTimeFrame,
                       d.InEffTimeSecond);
    applyDefaultEffect(a, Effect::Out, d.OutEffType, d.OutSpeed, d.OutEffPattern, d.OutEffTimeFrame,
                       d.OutEffTimeSecond);
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
    const QByteArray bytes =
        Cp932::encodeTruncated(QFileInfo(fileName).fileName(), ListRecord::TextSize);
    return Cp932::decodeField(bytes.constData(), std::size_t(bytes.size()));
}

// Width, height and height class of the first picture, within the format.
void setFrameSize(TitleAttributes &a, const ImageInfo &first, const VideoFormatParams &format)
{
    a.setBlocksPerFrame(format.blocksForHeight(first.height));
    a.setWidth(std::min(first.width, format.maxWidth()));
    a.setHeight(std::min(first.height, format.maxHeight()));
}

// The duration, speed and auto trigger each kind starts with.
void setTiming(TitleAttributes &a, const DefaultTitleSettings &defaults,
               const VideoFormatParams &format)
{
    const int frames = a.frameCount();
    const int fps = format.framesPerSecond;
    switch (a.kind()) {
    case TitleKind::Still:
        a.setDurFrame(defaults.StillDurFrame);
        a.setDurSecond(defaults.StillDurSecond);
        a.setDurMinute(defaults.StillDurMinute);
        a.setDurReserved(0);
        break;
    case TitleKind::Movie:
        if (a.movieRepeat()) {
            a.setDurFrame(defaults.MovieDurFrame);
            a.setDurSecond(defaults.MovieDurSecond);
            a.setDurMinute(defaults.MovieDurMinute);
            a.setDurReserved(0);
        } else {
            // Once through the frames, then out by itself.
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
        // The settings keep speeds within 2..64; never step by less.
        constexpr int SlowestSpeed = 2;
        const Duration d =
            RollCrawlDuration(frames, 2 * std::max(a.rollCrawlSpeed(), SlowestSpeed), roll, format);
        a.setDurMinute(d.minutes);
        a.setDurSecond(d.seconds);
        a.setDurFrame(d.frames);
        break;
    }
    }
}

// A roll starts at the top, a crawl at the left edge; others at the default position.
void setPosition(TitleAttributes &a, const DefaultTitleSettings &defaults,
                 const VideoFormatParams &format)
{
    a.setPositionX(a.kind() == TitleKind::Crawl ? 0 : defaults.PositionX);
    const int defaultY = format.isPal ? defaults.PositionYPal : defaults.PositionYNtsc;
    a.setPositionY(a.kind() == TitleKind::Roll ? 0 : defaultY);
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
    entry.Attributes = TitleAttributes();
    entry.FileList = QStringList{fileName};
    const std::optional<ImageInfo> first = m_services.images.fileInfo(fileName);
    if (!first)
        return false;
    setFrameSize(entry.Attributes, *first, m_services.format());
    const std::optional<TitleTypeKind> kind = chooseFrames(entry, *first, isIntVideo);
    if (!kind || !framesMatch(entry.FileList, *first))
        return false;
    fillNewTitle(entry, *kind, fileName);
    return true;
}

std::optional<TitleTypeKind> ImageImport::chooseFrames(TitleEntry &entry, const ImageInfo &first,
                                                       bool isIntVideo)
{
    QStringList found;
    if (!DetectSequence(entry.firstFile(), found)) {
        entry.IconFrame = 1;
        return TitleTypeKind::Still;
    }
    entry.FileList += found;
    const VideoFormatParams &format = m_services.format();
    const TitleAttributes &a = entry.Attributes;
    TitleTypeQuestion question;
    question.fileList = entry.FileList;
    question.variant = TitleTypeRules::variantFor(a.width() == format.maxWidth(),
                                                  a.height() == format.maxHeight(), isIntVideo);
    question.framesPerSecond = format.framesPerSecond;
    question.fullWidth = format.maxWidth();
    question.fullHeight = format.maxHeight();
    question.pictureWidth = first.width;
    question.pictureHeight = first.height;
    question.isIntVideo = isIntVideo;
    const std::optional<TitleTypeAnswer> raw = m_services.chooser.chooseTitleType(question);
    if (!raw)
        return std::nullopt;
    const std::optional<TitleTypeAnswer> answer = TitleTypeRules::clampAnswer(question, *raw);
    if (!answer) {
        qCInfo(lcImport) << "title type answer not offered:" << int(raw->kind);
        return std::nullopt;
    }
    entry.IconFrame = answer->iconFrame;
    while (entry.FileList.size() > answer->frameCount)
        entry.FileList.removeLast();
    return answer->kind;
}

bool ImageImport::framesMatch(const QStringList &files, const ImageInfo &first)
{
    // The frames' headers are read on worker threads; the interface stays alive.
    const int further = int(files.size()) - 1;
    std::vector<std::optional<ImageInfo>> infos(std::size_t(std::max(further, 0)));
    ImageLibrary &images = m_services.images;
    ParallelWork::run(m_services.waits, further, [&infos, &images, &files](int i) {
        infos[std::size_t(i)] = images.fileInfo(files.at(i + 1));
    });
    for (const std::optional<ImageInfo> &info : infos) {
        if (!info)
            return false;
        if (info->width != first.width || info->height != first.height) {
            ShowMessageById(m_services.boxes, 1, FrameSizesDifferMessageId, MsgError);
            return false;
        }
    }
    return true;
}

void ImageImport::fillNewTitle(TitleEntry &entry, TitleTypeKind kind, const QString &fileName)
{
    TitleAttributes &a = entry.Attributes;
    const DefaultTitleSettings &defaults = m_services.settings.Default;
    a.setTypeFlags(TitleTypeRules::typeFlags(kind));
    a.setMemoryNo(MemoryNo::NotStored);
    a.setFrameCount(int(entry.FileList.size()));
    entry.Name = nameField(fileName);
    entry.Comment.clear();
    entry.Selected = false;
    entry.NoRoom = false;
    entry.Mark = 0;

    applyDefaultEffects(a, defaults);
    if (a.blocksPerFrame() != FullHeightBlocks) {
        for (Effect e : {Effect::In, Effect::Out}) {
            if (a.slideDirection(e) == SlideUp || a.slideDirection(e) == SlideDown)
                a.setSlideDirection(e, 0);
        }
    }
    // While connected the device checks the default patterns; its answer replaces their
    // low 14 bits (the top two are kept). A failed request leaves them as they are.
    if (m_services.isConnected() && m_services.checkEffectPatterns) {
        if (const auto checked = m_services.checkEffectPatterns(a.effPatternWord(Effect::In),
                                                                a.effPatternWord(Effect::Out))) {
            a.setEffPattern(Effect::In, checked->first);
            a.setEffPattern(Effect::Out, checked->second);
        }
    }
    setTiming(a, defaults, m_services.format());
    setPosition(a, defaults, m_services.format());
}

bool ImageImport::makeThumbnail(TitleEntry &entry)
{
    entry.Thumbnail = Bitmap(TitleEntry::ThumbnailWidth, TitleEntry::ThumbnailHeight, 24);
    const int icon = std::clamp(entry.IconFrame, 1, int(entry.FileList.size()));
    return Thumbnail::MakeThumbnail(entry.Thumbnail, entry.FileList.at(icon - 1),
                                    entry.Attributes.positionX(), entry.Attributes.positionY(),
                                    m_services.format(), m_services.isWide(), m_services.images,
                                    m_services.boxes);
}
