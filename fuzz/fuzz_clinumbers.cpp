// The command line's number and text parsers, fed with text as it comes from
// files (CP932 bytes, NUL-separated words): memory numbers, the property
// options and the exit checks they apply.

#include "DeviceCli.h"
#include "FuzzSupport.h"
#include "PropertyOptions.h"
#include "list/Cp932.h"
#include "properties/PropertyRules.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

int numberOf(const QString &text)
{
    const std::optional<int> n = PropertyRules::number(text);
    FUZZ_CHECK(n.has_value());
    return *n;
}

// An exit check gives a text it leaves as it is.
void settled(const std::function<QString(const QString &)> &rule, const QString &typed)
{
    const QString stored = rule(typed);
    FUZZ_CHECK(rule(stored) == stored);
}

void checkRules(const QString &t, int fps, int maximum, int frames)
{
    if (const std::optional<int> n = PropertyRules::number(t))
        FUZZ_CHECK(PropertyRules::number(QString::number(*n)) == n);

    const int speed = numberOf(PropertyRules::speed(t));
    FUZZ_CHECK(speed >= PropertyRules::MinSpeed && speed <= PropertyRules::MaxSpeed &&
               speed % 2 == 0);
    const int interval = numberOf(PropertyRules::movieInterval(t));
    FUZZ_CHECK(interval >= 0 && interval <= PropertyRules::MaxMovieInterval);
    const int x = numberOf(PropertyRules::positionX(t, maximum));
    FUZZ_CHECK(x >= 0 && x <= maximum);
    const int y = numberOf(PropertyRules::positionY(t, maximum));
    FUZZ_CHECK(y >= 0 && y <= maximum && y % 2 == 0);
    const int pattern = numberOf(PropertyRules::pattern(t));
    FUZZ_CHECK(pattern >= 0 && pattern <= PropertyRules::MaxPattern);
    const int icon = numberOf(PropertyRules::iconFrame(t, frames));
    FUZZ_CHECK(icon >= 1 && icon <= std::max(frames, 1));

    const auto [seconds, shortFrames] = PropertyRules::timeOf(PropertyRules::shortTime(t, fps));
    FUZZ_CHECK(seconds >= 0 && seconds <= PropertyRules::MaxShortSeconds && shortFrames >= 0 &&
               shortFrames < fps && (seconds < PropertyRules::MaxShortSeconds || shortFrames == 0));
    const Duration d = PropertyRules::durationOf(PropertyRules::duration(t, fps, std::nullopt));
    FUZZ_CHECK(d.minutes >= 0 && d.minutes <= 59 && d.seconds >= 0 && d.seconds <= 59 &&
               d.frames >= 0 && d.frames < fps);

    settled([&](const QString &s) { return PropertyRules::speed(s); }, t);
    settled([&](const QString &s) { return PropertyRules::positionY(s, maximum); }, t);
    settled([&](const QString &s) { return PropertyRules::pattern(s); }, t);
    settled([&](const QString &s) { return PropertyRules::shortTime(s, fps); }, t);
    settled([&](const QString &s) { return PropertyRules::duration(s, fps, std::nullopt); }, t);
    settled([&](const QString &s) { return PropertyRules::textField(s); }, t);
    FUZZ_CHECK(Cp932::encodeTruncated(PropertyRules::textField(t), 1024).size() <= 128);

    if (const std::optional<std::uint16_t> memoryNo = DeviceCli::parseMemoryNo(t))
        FUZZ_CHECK(DeviceCli::parseMemoryNo(DeviceCli::memoryNoText(*memoryNo)) == memoryNo);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const int fps = in.ConsumeBool() ? 25 : 30;
    const int maximum = 2 * in.ConsumeIntegralInRange(0, 400);
    const int frames = in.ConsumeIntegralInRange(-1, 999);
    const std::string rest = in.ConsumeRemainingBytesAsString();

    QStringList words;
    for (const QByteArray &word : QByteArray::fromStdString(rest).split('\0'))
        words << Cp932::decodeField(word.constData(), std::size_t(word.size()));
    for (const QString &word : words)
        checkRules(word, fps, maximum, frames);

    PropertyOptions options;
    const bool parsed =
        options.parse(words,
                      {QStringLiteral("name"), QStringLiteral("comment"), QStringLiteral("in-time"),
                       QStringLiteral("in-auto"), QStringLiteral("duration"),
                       QStringLiteral("protect"), QStringLiteral("x")},
                      {QStringLiteral("json")});
    FUZZ_CHECK(parsed == options.error.isEmpty());
    if (parsed) {
        for (const QString &option : {QStringLiteral("in-auto"), QStringLiteral("protect")})
            FUZZ_CHECK(!options.has(option) || PropertyOptions::onOff(options.value(option)));
        if (options.has(QStringLiteral("in-time")))
            settled(
                [&](const QString &s) {
                    return PropertyOptions::checked(
                        QStringLiteral("in-time"), s,
                        [&](const QString &v) { return PropertyRules::shortTime(v, fps); },
                        [](const QString &) {});
                },
                options.value(QStringLiteral("in-time")));
    }
    return 0;
}
