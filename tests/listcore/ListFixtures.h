#pragma once

#include "core/Settings.h"
#include "core/Waits.h"
#include "imaging/MagickImageLibrary.h"
#include "imaging/PictureFixtures.h"
#include "imaging/TitleTypeChooser.h"
#include "list/ListEditor.h"
#include "list/ListRecord.h"
#include "list/ListServices.h"
#include "list/PropertyHistory.h"
#include "list/TitleList.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QSet>
#include <deque>

// Pictures and list files for the list tests, generated on the spot.
namespace ListFixtures {

// A 32-bit run-length coded TARGA picture, top-left origin, every pixel
// 0x00RRGGBB. Returns the path.
QString writeTarga(const QString &path, int width, int height, std::uint32_t rgb = 0x808080);
// name001 .. name<count> with the given digits, all width x height.
QStringList writeSequence(const QString &folder, const QString &stem, int first, int count,
                          int digits, int width, int height);
// A list-file record (564 bytes, with a mark) or a history record (560 bytes,
// without) built from offsets alone (not with the program's writer).
QByteArray rawRecord(const QByteArray &firstFile, const QByteArray &attributes40,
                     const QByteArray &name, const QByteArray &comment,
                     std::optional<std::int32_t> mark, std::int32_t iconFrame);
// 40 attribute bytes of a valid NTSC still of 640 x 480 (8 blocks), frames n.
QByteArray stillAttributes(int frameCount = 1, std::uint8_t typeFlags = 0);
using PictureFixtures::readFile;
using PictureFixtures::writeFile;

// A full disk without root: files of the calling process cannot grow beyond
// limit bytes, and writes past it fail with EFBIG (SIGXFSZ ignored). Only for a
// child process (QProcess::setChildProcessModifier, or the one below).
void limitFileSize(qint64 limit);
// A title of `frames` times the file (never read), not on the mixer, named by the file.
TitleEntry titleOf(const QString &file, int blocksPerFrame = 8, int frames = 1);
// stem1 .. stem<count>, the numbers with at least `digits` digits.
QStringList numbered(const QString &stem, int count, int digits = 1);
// Appends titles of /pictures/<name>.tga, comments in capitals; the cursor on the first.
void fill(TitleList &list, const QStringList &names);
// The titles' names, joined by commas.
QString names(const TitleList &list);
// Runs work in a forked child under limitFileSize(limit): its exit status, 0
// when work returned true, 1 when false, -1 when the child did not end by
// itself. Only work on the calling thread may run there.
int inChildWithFileLimit(qint64 limit, const std::function<bool()> &work);

} // namespace ListFixtures

// The real picture library, with loads that can be made to fail for chosen
// files (a picture whose header reads but whose pixels do not).
class TestImageLibrary : public ImageLibrary
{
public:
    std::optional<ImageInfo> fileInfo(const QString &path) override { return real.fileInfo(path); }
    std::optional<Bitmap> load(const QString &path) override
    {
        return failLoads.contains(path) ? std::nullopt : real.load(path);
    }
    bool save(const Bitmap &bitmap, const QString &path, ImageFileFormat format,
              int bitsPerPixel) override
    {
        return real.save(bitmap, path, format, bitsPerPixel);
    }

    MagickImageLibrary real;
    QSet<QString> failLoads;
};

// Scaled waits that count how often the caller let events flow.
class CountingWaits : public Waits
{
public:
    CountingWaits() : Waits(0.01) {}
    bool waitUntil(const std::function<bool()> &done, int timeoutMilliseconds) override
    {
        ++waitCount;
        return Waits::waitUntil(done, timeoutMilliseconds);
    }
    void processPending() override { ++pendingCount; }
    int waitCount = 0;
    int pendingCount = 0;
};

// The title type question answered from a script; records every question.
class ScriptedChooser : public TitleTypeChooser
{
public:
    std::optional<TitleTypeAnswer> chooseTitleType(const TitleTypeQuestion &question) override;
    void answer(TitleTypeKind kind, int frames, int icon)
    {
        m_answers.push_back(TitleTypeAnswer{kind, frames, icon});
    }
    void cancel() { m_answers.push_back(std::nullopt); }

    QList<TitleTypeQuestion> questions;
    // Runs while the question is open (the window's event loop runs then).
    std::function<void()> whileAsked;

private:
    std::deque<std::optional<TitleTypeAnswer>> m_answers;
};

// Everything a list operation needs, with scripted people and scaled waits.
struct ListHarness
{
    ListHarness();

    TestEnvironment env;
    ScriptedMessageBoxes boxes;
    TestImageLibrary images;
    CountingWaits waits;
    Settings settings;
    PropertyHistory history;
    ScriptedChooser chooser;
    ListServices services;
    TitleList list;
    ListEditor editor;
    bool pal = false;
    bool wide = false;
    bool connected = false;

    QString path(const QString &relative) const { return env.path(relative); }
    // Adds a plain 640 x 480 still title named name.tga.
    bool addStill(const QString &name, std::uint32_t rgb = 0x808080);
};
