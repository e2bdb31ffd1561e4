#include "ListFixtures.h"

#include <QDir>
#include <QFile>
#include <cstring>

namespace ListFixtures {

namespace {

void putU16(QByteArray &b, int offset, int v)
{
    b[offset] = char(v & 0xFF);
    b[offset + 1] = char((v >> 8) & 0xFF);
}

void putI32(QByteArray &b, int offset, std::int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[offset + i] = char((std::uint32_t(v) >> (8 * i)) & 0xFF);
}

QByteArray targaHeader(int width, int height)
{
    QByteArray h(18, '\0');
    h[2] = 10; // run-length true colour
    putU16(h, 12, width);
    putU16(h, 14, height);
    h[16] = 32;
    h[17] = char(0x28); // top-left origin, 8 alpha bits
    return h;
}

void appendRun(QByteArray &out, int count, std::uint32_t rgb)
{
    const char pixel[4] = {char(rgb & 0xFF), char((rgb >> 8) & 0xFF), char((rgb >> 16) & 0xFF),
                           char(0xFF)};
    while (count > 0) {
        const int n = std::min(count, 128);
        out.append(char(0x80 | (n - 1)));
        out.append(pixel, 4);
        count -= n;
    }
}

} // namespace

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString writeTarga(const QString &path, int width, int height, std::uint32_t rgb)
{
    QByteArray out = targaHeader(width, height);
    for (int y = 0; y < height; ++y)
        appendRun(out, width, rgb);
    writeFile(path, out);
    return path;
}

QString writeFieldTarga(const QString &path, int width, int height, std::uint32_t rgb)
{
    QByteArray out = targaHeader(width, height);
    for (int y = 0; y < height; ++y)
        appendRun(out, width, y % 2 == 0 ? rgb : 0x000000);
    writeFile(path, out);
    return path;
}

QStringList writeSequence(const QString &folder, const QString &stem, int first, int count,
                          int digits, int width, int height)
{
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString number = digits > 0 ? QString::number(first + i).rightJustified(digits, '0')
                                          : QString::number(first + i);
        files << writeTarga(QDir(folder).filePath(stem + number + QStringLiteral(".tga")), width,
                            height, 0x102030 + std::uint32_t(i));
    }
    return files;
}

static QByteArray rawCommon(int size, const QByteArray &firstFile, const QByteArray &attributes40,
                            const QByteArray &name, const QByteArray &comment)
{
    QByteArray r(size, '\0');
    std::memcpy(r.data(), firstFile.constData(),
                std::size_t(std::min<qsizetype>(firstFile.size(), 260)));
    std::memcpy(r.data() + 260, attributes40.constData(), 40);
    std::memcpy(r.data() + 300, name.constData(),
                std::size_t(std::min<qsizetype>(name.size(), 128)));
    std::memcpy(r.data() + 428, comment.constData(),
                std::size_t(std::min<qsizetype>(comment.size(), 128)));
    return r;
}

QByteArray rawListRecord(const QByteArray &firstFile, const QByteArray &attributes40,
                         const QByteArray &name, const QByteArray &comment, std::int32_t mark,
                         std::int32_t iconFrame)
{
    QByteArray r = rawCommon(564, firstFile, attributes40, name, comment);
    putI32(r, 556, mark);
    putI32(r, 560, iconFrame);
    return r;
}

QByteArray rawHistoryRecord(const QByteArray &firstFile, const QByteArray &attributes40,
                            const QByteArray &name, const QByteArray &comment,
                            std::int32_t iconFrame)
{
    QByteArray r = rawCommon(560, firstFile, attributes40, name, comment);
    putI32(r, 556, iconFrame);
    return r;
}

QByteArray stillAttributes(int frameCount, std::uint8_t typeFlags)
{
    QByteArray a(40, '\0');
    putU16(a, 0, 0x0005); // a memory number the reader must replace
    a[2] = char(typeFlags);
    a[3] = 8; // roll/crawl speed
    a[4] = 8; // blocks per frame for 480 lines
    putU16(a, 6, frameCount);
    a[13] = 10;       // 10 s duration
    a[17] = 8;        // in slide speed
    putU16(a, 18, 1); // in pattern
    a[21] = 2;        // in effect 2 s
    a[25] = 8;
    putU16(a, 26, 1);
    a[29] = 2;
    putU16(a, 32, 640);
    putU16(a, 34, 480);
    putI32(a, 36, 0x12345678); // device word, cleared on reading
    return a;
}

} // namespace ListFixtures

std::optional<TitleTypeAnswer> ScriptedChooser::chooseTitleType(const TitleTypeQuestion &question)
{
    questions.append(question);
    if (whileAsked)
        whileAsked();
    if (m_answers.empty())
        return std::nullopt;
    const TitleTypeAnswer a = m_answers.front();
    m_answers.pop_front();
    if (a.kindText.isEmpty())
        return std::nullopt;
    return a;
}

ListHarness::ListHarness()
    : settings(DefaultSettings(SettingsContext{QString(), 1024, 768})),
      history(env.path(QStringLiteral("TitleDeck.vth"))), services{boxes,    images,  waits,
                                                                   settings, history, chooser},
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
