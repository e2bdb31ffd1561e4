// Picture library: header reading as list opening does it (the direct TARGA
// reader against ImageMagick's), loading a full-size title, and the thumbnail
// resampling step.
#include "imaging/Bitmap.h"
#include "imaging/MagickImageLibrary.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct Fixture
{
    Fixture()
    {
        Bitmap picture(720, 576, 32);
        for (int y = 0; y < 576; ++y)
            for (int x = 0; x < 720 * 4; ++x)
                picture.row(y)[x] = std::uint8_t(x * 7 + y * 3);
        targa = dir.filePath(QStringLiteral("title.tga"));
        tiff = dir.filePath(QStringLiteral("title.tif"));
        library.save(picture, targa, ImageFileFormat::Targa, 32);
        library.save(picture, tiff, ImageFileFormat::Tiff, 32);
    }

    QTemporaryDir dir;
    MagickImageLibrary library;
    QString targa;
    QString tiff;
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_TargaInfoDirect(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.library.fileInfo(f.targa));
}
BENCHMARK(BM_TargaInfoDirect);

void BM_TargaInfoImageMagick(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.library.libraryFileInfo(f.targa));
}
BENCHMARK(BM_TargaInfoImageMagick);

void BM_TiffInfo(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.library.fileInfo(f.tiff));
}
BENCHMARK(BM_TiffInfo);

void BM_TargaLoad720x576(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.library.load(f.targa));
}
BENCHMARK(BM_TargaLoad720x576);

void BM_ResampleFieldToThumbnail(benchmark::State &state)
{
    Bitmap field(640, 240, 32);
    for (auto _ : state)
        benchmark::DoNotOptimize(field.resampled(112, 42));
}
BENCHMARK(BM_ResampleFieldToThumbnail);

} // namespace

BENCHMARK_MAIN();
