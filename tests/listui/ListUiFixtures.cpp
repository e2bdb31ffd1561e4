#include "listui/ListUiFixtures.h"

#include "listcore/ListFixtures.h"

#include <QDir>
#include <QTest>
#include <algorithm>

namespace ListUiFixtures {

bool writePicture(MagickImageLibrary &images, const QString &path, int w, int h,
                  const QColor &ground)
{
    Bitmap b(w, h, 32);
    const std::uint32_t pixel = ground.rgb();
    for (int y = 0; y < h; ++y)
        std::fill_n(reinterpret_cast<std::uint32_t *>(b.row(y)), w, pixel);
    const QString ext = path.section(u'.', -1).toLower();
    const ImageFileFormat format = ext == QLatin1String("bmp")   ? ImageFileFormat::Bmp
                                   : ext == QLatin1String("jpg") ? ImageFileFormat::Jpeg
                                                                 : ImageFileFormat::Targa;
    return images.save(b, path, format, 24);
}

WindowRig::WindowRig(const QByteArray &ini)
{
    const QByteArray quiet("[Environment]\nConfirmClose=false\nBeginLastStatus=false\n");
    ListFixtures::writeFile(iniFile(), ini.isEmpty() ? quiet : ini);
    store = std::make_unique<SettingsStore>(iniFile());
    window = std::make_unique<TFormMain>(MainServices{
        boxes, images, *store, waits, AppPaths::inFolder(env.path(QStringLiteral("prog")))});
}

bool WindowRig::show()
{
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
}

QString WindowRig::folder(const QString &name) const
{
    const QString path = env.path(name);
    QDir().mkpath(path);
    return path;
}

QString WindowRig::picture(const QString &fileName)
{
    const QString path = folder(QStringLiteral("p")) + u'/' + fileName;
    return writePicture(images, path, 64, 48, Qt::red) ? path : QString();
}

QStringList WindowRig::sequence(const QString &base)
{
    return ListFixtures::writeSequence(folder(QStringLiteral("seq")), base, 1, 3, 3, 64, 48);
}

} // namespace ListUiFixtures
