#include "ListFixtures.h"

#include "core/MemoryNo.h"

#include <QDir>
#include <QtEndian>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ListFixtures {

QString writeTarga(const QString &path, int width, int height, std::uint32_t rgb)
{
    // Run-length true colour, top-left origin, 8 alpha bits.
    QByteArray out = PictureFixtures::targaHeader(10, width, height, 32, 0x28);
    const char pixel[4] = {char(rgb), char(rgb >> 8), char(rgb >> 16), char(0xFF)};
    for (int y = 0; y < height; ++y) {
        for (int left = width; left > 0; left -= 128) {
            out.append(char(0x80 | (std::min(left, 128) - 1)));
            out.append(pixel, 4);
        }
    }
    writeFile(path, out);
    return path;
}

QStringList writeSequence(const QString &folder, const QString &stem, int first, int count,
                          int digits, int width, int height)
{
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString number = QString::number(first + i).rightJustified(digits, '0');
        files << writeTarga(QDir(folder).filePath(stem + number + QStringLiteral(".tga")), width,
                            height, 0x102030 + std::uint32_t(i));
    }
    return files;
}

QByteArray rawRecord(const QByteArray &firstFile, const QByteArray &attributes40,
                     const QByteArray &name, const QByteArray &comment,
                     std::optional<std::int32_t> mark, std::int32_t iconFrame)
{
    QByteArray r(mark ? 564 : 560, '\0');
    const auto put = [&r](int offset, const QByteArray &field, int size) {
        std::memcpy(r.data() + offset, field.constData(),
                    std::size_t(std::min<qsizetype>(field.size(), size)));
    };
    put(0, firstFile, 260);
    put(260, attributes40, 40);
    put(300, name, 128);
    put(428, comment, 128);
    if (mark)
        qToLittleEndian<qint32>(*mark, r.data() + 556);
    qToLittleEndian<qint32>(iconFrame, r.data() + r.size() - 4);
    return r;
}

QByteArray stillAttributes(int frameCount, std::uint8_t typeFlags)
{
    QByteArray a(40, '\0');
    qToLittleEndian<quint16>(5, a.data()); // a memory number the reader must replace
    a[2] = char(typeFlags);
    a[3] = 8; // roll/crawl speed
    a[4] = 8; // blocks per frame for 480 lines
    qToLittleEndian<quint16>(quint16(frameCount), a.data() + 6);
    a[13] = 10; // 10 s duration
    for (int effect : {16, 24}) {
        a[effect + 1] = 8;                                  // slide speed
        qToLittleEndian<quint16>(1, a.data() + effect + 2); // pattern
        a[effect + 5] = 2;                                  // effect time 2 s
    }
    qToLittleEndian<quint16>(640, a.data() + 32);
    qToLittleEndian<quint16>(480, a.data() + 34);
    qToLittleEndian<quint32>(0x12345678, a.data() + 36); // device word, cleared on reading
    return a;
}

void limitFileSize(qint64 limit)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{rlim_t(limit), rlim_t(limit)};
    setrlimit(RLIMIT_FSIZE, &size);
}

TitleEntry titleOf(const QString &file, int blocksPerFrame, int frames)
{
    TitleEntry e = TitleEntry::create();
    e.FileList = QStringList(frames, file);
    e.Name = QFileInfo(file).completeBaseName();
    e.Attributes.setMemoryNo(MemoryNo::NotStored);
    e.Attributes.setFrameCount(frames);
    e.Attributes.setBlocksPerFrame(blocksPerFrame);
    e.IconFrame = 1;
    return e;
}

QStringList numbered(const QString &stem, int count, int digits)
{
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << stem + QString::number(i).rightJustified(digits, u'0');
    return out;
}

void fill(TitleList &list, const QStringList &names)
{
    for (const QString &name : names) {
        TitleEntry e = titleOf(QStringLiteral("/pictures/") + name + QStringLiteral(".tga"));
        e.Comment = name.toUpper();
        list.insert(list.count() + 1, std::move(e));
    }
    list.SetCursor(1);
}

QString names(const TitleList &list)
{
    QStringList out;
    for (int i = 1; i <= list.count(); ++i)
        out << list.at(i).Name;
    return out.join(u',');
}

int inChildWithFileLimit(qint64 limit, const std::function<bool()> &work)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        limitFileSize(limit);
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace ListFixtures

std::optional<TitleTypeAnswer> ScriptedChooser::chooseTitleType(const TitleTypeQuestion &question)
{
    questions.append(question);
    if (whileAsked)
        whileAsked();
    const std::optional<TitleTypeAnswer> a = m_answers.empty() ? std::nullopt : m_answers.front();
    if (!m_answers.empty())
        m_answers.pop_front();
    return a;
}

ListHarness::ListHarness()
    : settings(DefaultSettings(SettingsContext{QString(), 1024, 768})),
      history(env.path(QStringLiteral("TitleDeck.vth")), waits), services{boxes,   images,
                                                                          waits,   settings,
                                                                          history, chooser},
      editor(list, services)
{
    services.videoFormat = [this]() -> const VideoFormatParams & {
        return pal ? VideoFormatParams::pal() : VideoFormatParams::ntsc();
    };
    services.aspect16x9 = [this] { return wide; };
    services.connected = [this] { return connected; };
}

bool ListHarness::addStill(const QString &name, std::uint32_t rgb)
{
    const QString file =
        ListFixtures::writeTarga(path(name + QStringLiteral(".tga")), 640, 480, rgb);
    return editor.AddImageFile(file);
}
