#include "core/Settings.h"

#include "core/SettingsStore.h"

namespace {

const QString kDefault = QStringLiteral("Default");
const QString kEnvironment = QStringLiteral("Environment");
const QString kMainForm = QStringLiteral("MainForm");

// Field name and member pointer pairs keep reading and writing in one table.
template<typename T> struct Field
{
    const char *name;
    T DefaultTitleSettings::*member;
};

const Field<std::uint8_t> kDefaultBytes[] = {
    {"StillDurMinute", &DefaultTitleSettings::StillDurMinute},
    {"StillDurSecond", &DefaultTitleSettings::StillDurSecond},
    {"StillDurFrame", &DefaultTitleSettings::StillDurFrame},
    {"MovieDurMinute", &DefaultTitleSettings::MovieDurMinute},
    {"MovieDurSecond", &DefaultTitleSettings::MovieDurSecond},
    {"MovieDurFrame", &DefaultTitleSettings::MovieDurFrame},
    {"InEffType", &DefaultTitleSettings::InEffType},
    {"InEffTimeSecond", &DefaultTitleSettings::InEffTimeSecond},
    {"InEffTimeFrame", &DefaultTitleSettings::InEffTimeFrame},
    {"InSpeed", &DefaultTitleSettings::InSpeed},
    {"OutEffType", &DefaultTitleSettings::OutEffType},
    {"OutEffTimeSecond", &DefaultTitleSettings::OutEffTimeSecond},
    {"OutEffTimeFrame", &DefaultTitleSettings::OutEffTimeFrame},
    {"OutSpeed", &DefaultTitleSettings::OutSpeed},
};
const Field<std::uint16_t> kDefaultWords[] = {
    {"InEffPattern", &DefaultTitleSettings::InEffPattern},
    {"OutEffPattern", &DefaultTitleSettings::OutEffPattern},
};
const Field<std::int32_t> kDefaultInts[] = {
    {"RollSpeed", &DefaultTitleSettings::RollSpeed},
    {"CrawlSpeed", &DefaultTitleSettings::CrawlSpeed},
    {"PositionX", &DefaultTitleSettings::PositionX},
    {"PositionYNtsc", &DefaultTitleSettings::PositionYNtsc},
    {"PositionYPal", &DefaultTitleSettings::PositionYPal},
};

struct BoolField
{
    const char *name;
    bool EnvironmentSettings::*member;
};
struct IntField
{
    const char *name;
    std::int32_t EnvironmentSettings::*member;
};
struct StringField
{
    const char *name;
    QString EnvironmentSettings::*member;
};

const IntField kEnvInts[] = {
    {"HistoryMode", &EnvironmentSettings::HistoryMode},
    {"IntVideoFilter", &EnvironmentSettings::IntVideoFilter},
    {"YUVMax", &EnvironmentSettings::YUVMax},
    {"YUVMin", &EnvironmentSettings::YUVMin},
};
const BoolField kEnvBools[] = {
    {"FormModeIcon", &EnvironmentSettings::FormModeIcon},
    {"AutoLoadEndless", &EnvironmentSettings::AutoLoadEndless},
    {"BeginLastStatus", &EnvironmentSettings::BeginLastStatus},
    {"ConfirmClose", &EnvironmentSettings::ConfirmClose},
    {"ClearMemory", &EnvironmentSettings::ClearMemory},
    {"ClearKeepData", &EnvironmentSettings::ClearKeepData},
    {"CursorAutoMove", &EnvironmentSettings::CursorAutoMove},
};
const StringField kEnvStrings[] = {
    {"ListFolder", &EnvironmentSettings::ListFolder},
    {"TitleFolder", &EnvironmentSettings::TitleFolder},
    {"IntVideoFolder", &EnvironmentSettings::IntVideoFolder},
};

QString name(const char *s)
{
    return QString::fromLatin1(s);
}

// Bits 0-6 of a speed must be 2..64; otherwise bit 7 stays and the speed becomes 8.
template<typename T> void fixSpeed(T &v)
{
    const int speed = int(v) & 0x7F;
    if (speed < 2 || speed > 64)
        v = T((int(v) & 0x80) | 8);
}

void fixPattern(std::uint16_t &v)
{
    if ((v & 0x3FFF) > 9999)
        v = std::uint16_t((v & 0xC000) | 1);
}

} // namespace

Settings DefaultSettings(const SettingsContext &context)
{
    Settings s;
    s.Environment.ListFolder = context.programFolder + QStringLiteral("/ListData");
    s.Environment.TitleFolder = context.programFolder + QStringLiteral("/TitleData");
    s.Environment.IntVideoFolder = context.programFolder + QStringLiteral("/IntVideoData");
    // Integer division truncates toward zero, as the placement always has.
    s.MainForm.Left = (context.screenWidth - MainFormSettings::DesignWidth) / 2;
    s.MainForm.Top = (context.screenHeight - MainFormSettings::DesignHeight) / 2;
    return s;
}

Settings LoadSettings(SettingsStore &store, const SettingsContext &context)
{
    Settings s = DefaultSettings(context);

    store.beginGroup(kDefault);
    DefaultTitleSettings &d = s.Default;
    for (const auto &f : kDefaultBytes)
        d.*f.member = std::uint8_t(store.ReadIntegerDefault(name(f.name), d.*f.member));
    for (const auto &f : kDefaultWords)
        d.*f.member = std::uint16_t(store.ReadIntegerDefault(name(f.name), d.*f.member));
    for (const auto &f : kDefaultInts)
        d.*f.member = store.ReadIntegerDefault(name(f.name), d.*f.member);
    store.endGroup();

    store.beginGroup(kEnvironment);
    EnvironmentSettings &e = s.Environment;
    for (const auto &f : kEnvInts)
        e.*f.member = store.ReadIntegerDefault(name(f.name), e.*f.member);
    for (const auto &f : kEnvBools)
        e.*f.member = store.ReadBoolDefault(name(f.name), e.*f.member);
    for (const auto &f : kEnvStrings)
        e.*f.member = store.ReadStringDefault(name(f.name), e.*f.member);
    store.endGroup();

    store.beginGroup(kMainForm);
    MainFormSettings &m = s.MainForm;
    m.Left = store.ReadIntegerDefault(QStringLiteral("Left"), m.Left);
    m.Top = store.ReadIntegerDefault(QStringLiteral("Top"), m.Top);
    m.Width = store.ReadIntegerDefault(QStringLiteral("Width"), m.Width);
    m.Height = store.ReadIntegerDefault(QStringLiteral("Height"), m.Height);
    store.endGroup();

    SanitiseSettings(s);
    return s;
}

void SanitiseSettings(Settings &settings)
{
    EnvironmentSettings &e = settings.Environment;
    if (e.HistoryMode < 0 || e.HistoryMode > 2)
        e.HistoryMode = 0;
    if (e.YUVMax != 0 && e.YUVMax != 1)
        e.YUVMax = 0;
    if (e.YUVMin != 0 && e.YUVMin != 1)
        e.YUVMin = 0;

    DefaultTitleSettings &d = settings.Default;
    if (d.StillDurMinute > 59)
        d.StillDurMinute = 0;
    if (d.MovieDurMinute > 59)
        d.MovieDurMinute = 0;
    if (d.StillDurSecond > 59)
        d.StillDurSecond = 10;
    if (d.MovieDurSecond > 59)
        d.MovieDurSecond = 10;
    fixSpeed(d.RollSpeed);
    fixSpeed(d.CrawlSpeed);
    fixSpeed(d.InSpeed);
    fixSpeed(d.OutSpeed);
    // Only values above the limit are replaced; a negative position is kept.
    if (d.PositionX > 720)
        d.PositionX = 0;
    if (d.PositionYNtsc > 480)
        d.PositionYNtsc = 0;
    if (d.PositionYPal > 576)
        d.PositionYPal = 0;
    fixPattern(d.InEffPattern);
    fixPattern(d.OutEffPattern);
    if (d.InEffTimeSecond > 59)
        d.InEffTimeSecond = 2;
    if (d.OutEffTimeSecond > 59)
        d.OutEffTimeSecond = 2;
}

namespace {
void writeDefault(SettingsStore &store, const DefaultTitleSettings &d)
{
    store.beginGroup(kDefault);
    for (const auto &f : kDefaultBytes)
        store.WriteInteger(name(f.name), d.*f.member);
    for (const auto &f : kDefaultWords)
        store.WriteInteger(name(f.name), d.*f.member);
    for (const auto &f : kDefaultInts)
        store.WriteInteger(name(f.name), d.*f.member);
    store.endGroup();
}
} // namespace

bool SaveDefaultSettings(SettingsStore &store, const DefaultTitleSettings &defaults)
{
    writeDefault(store, defaults);
    return store.sync();
}

bool SaveSettings(SettingsStore &store, const Settings &settings)
{
    store.beginGroup(kMainForm);
    const MainFormSettings &m = settings.MainForm;
    store.WriteInteger(QStringLiteral("Left"), m.Left);
    store.WriteInteger(QStringLiteral("Top"), m.Top);
    store.WriteInteger(QStringLiteral("Width"), m.Width);
    store.WriteInteger(QStringLiteral("Height"), m.Height);
    store.WriteString(QStringLiteral("LastListFile"), m.LastListFile);
    store.endGroup();

    writeDefault(store, settings.Default);

    store.beginGroup(kEnvironment);
    const EnvironmentSettings &e = settings.Environment;
    for (const auto &f : kEnvBools)
        store.WriteBool(name(f.name), e.*f.member);
    for (const auto &f : kEnvInts)
        store.WriteInteger(name(f.name), e.*f.member);
    for (const auto &f : kEnvStrings)
        store.WriteString(name(f.name), e.*f.member);
    store.endGroup();
    return store.sync();
}

QString ReadLastListFile(SettingsStore &store)
{
    store.beginGroup(kMainForm);
    const QString file = store.ReadStringDefault(QStringLiteral("LastListFile"), QString());
    store.endGroup();
    return file;
}
