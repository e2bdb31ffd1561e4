#include "listui/ListUiFixtures.h"

#include "list/TitleEntry.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <cstring>

namespace ListUiFixtures {

bool writePicture(MagickImageLibrary &images, const QString &path, int w, int h,
                  const QColor &ground, const QString &text, const QColor &ink)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(ground);
    {
        QPainter p(&image);
        QFont f;
        f.setPixelSize(std::max(10, std::min(h / 5, int(w / std::max<qsizetype>(1, text.size())))));
        f.setBold(true);
        p.setFont(f);
        p.setPen(ink);
        p.drawText(QRect(0, 0, w, h), Qt::AlignCenter, text);
    }
    Bitmap b(w, h, 32);
    for (int y = 0; y < h; ++y)
        std::memcpy(b.row(y), image.constScanLine(y), std::size_t(w) * 4);
    const QString ext = path.section(u'.', -1).toLower();
    const ImageFileFormat format = ext == QLatin1String("bmp")   ? ImageFileFormat::Bmp
                                   : ext == QLatin1String("jpg") ? ImageFileFormat::Jpeg
                                                                 : ImageFileFormat::Targa;
    return images.save(b, path, format, 24);
}

QString writeSequence(MagickImageLibrary &images, const QString &folder, const QString &base,
                      int count, int w, int h, const QColor &ground, const QString &text)
{
    QDir().mkpath(folder);
    QString first;
    for (int i = 1; i <= count; ++i) {
        const QString path =
            folder + u'/' + base + QStringLiteral("%1.tga").arg(i, 3, 10, QLatin1Char('0'));
        writePicture(images, path, w, h, ground.darker(100 + 8 * (i % 5)),
                     text + QStringLiteral(" %1").arg(i));
        if (i == 1)
            first = path;
    }
    return first;
}

TitleEntry gridTitle(const QString &name, int blocksPerFrame, int frames)
{
    TitleEntry e = TitleEntry::create();
    e.FileList = {QStringLiteral("/pictures/") + name + QStringLiteral(".tga")};
    e.Name = name;
    e.Attributes.setMemoryNo(0xFFFE);
    e.Attributes.setBlocksPerFrame(blocksPerFrame);
    e.Attributes.setFrameCount(frames);
    e.IconFrame = 1;
    return e;
}

std::optional<TitleTypeAnswer> ScriptedChooser::chooseTitleType(const TitleTypeQuestion &question)
{
    asked.append(question);
    if (m_answers.isEmpty())
        return std::nullopt;
    return m_answers.takeFirst();
}

WindowRig::WindowRig(const QByteArray &ini)
{
    QByteArray contents = ini;
    if (contents.isEmpty())
        contents = "[Environment]\nConfirmClose=false\nBeginLastStatus=false\n";
    QFile f(iniFile());
    if (f.open(QIODevice::WriteOnly))
        f.write(contents);
    f.close();
    store = std::make_unique<SettingsStore>(iniFile());
    window = std::make_unique<TFormMain>(MainServices{
        boxes, images, *store, waits, AppPaths::inFolder(env.path(QStringLiteral("prog")))});
}

QString WindowRig::folder(const QString &name) const
{
    const QString path = env.path(name);
    QDir().mkpath(path);
    return path;
}

} // namespace ListUiFixtures
