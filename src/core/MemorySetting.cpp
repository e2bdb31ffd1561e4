#include "core/MemorySetting.h"

#include "core/SettingsStore.h"

namespace {
const QString kGroup = QStringLiteral("MemorySetting");
constexpr int kDefaultTitleCount = 15;
constexpr int kMaxTitleCount = 30;

std::optional<int> readOptional(SettingsStore &store, const QString &name)
{
    // Two different defaults tell a missing value from a stored one.
    const int a = store.ReadIntegerDefault(name, 0);
    const int b = store.ReadIntegerDefault(name, 1);
    return a == b ? std::optional<int>(a) : std::nullopt;
}
} // namespace

MemorySetting ReadMemorySetting(SettingsStore &store)
{
    MemorySetting s;
    store.beginGroup(kGroup);
    s.Signal = store.ReadIntegerDefault(QStringLiteral("Signal"), 0);
    s.Aspect = store.ReadIntegerDefault(QStringLiteral("Aspect"), 0);
    s.TitleCount = store.ReadIntegerDefault(QStringLiteral("TitleCount"), kDefaultTitleCount);
    s.Left = readOptional(store, QStringLiteral("Left"));
    s.Top = readOptional(store, QStringLiteral("Top"));
    store.endGroup();
    if (s.Signal < 0 || s.Signal >= 2)
        s.Signal = 0;
    if (s.Aspect < 0 || s.Aspect >= 2)
        s.Aspect = 0;
    if (s.TitleCount < 0 || s.TitleCount > kMaxTitleCount)
        s.TitleCount = kDefaultTitleCount;
    return s;
}

void WriteMemorySetting(SettingsStore &store, const MemorySetting &setting)
{
    store.beginGroup(kGroup);
    store.WriteInteger(QStringLiteral("Signal"), setting.Signal);
    store.WriteInteger(QStringLiteral("Aspect"), setting.Aspect);
    store.WriteInteger(QStringLiteral("TitleCount"), setting.TitleCount);
    if (setting.Left)
        store.WriteInteger(QStringLiteral("Left"), *setting.Left);
    if (setting.Top)
        store.WriteInteger(QStringLiteral("Top"), *setting.Top);
    store.endGroup();
}
