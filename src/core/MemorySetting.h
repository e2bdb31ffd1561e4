#pragma once

#include <cstdint>
#include <optional>

class SettingsStore;

// The mixer's memory setting as the program last saw it (group
// "MemorySetting"): the memory mirror starts from it, so the first map read
// from the mixer is compared with the setting of the last run. Left and Top
// place the memory window; missing ones leave it centred on the screen.
struct MemorySetting
{
    // 0 = NTSC, 1 = PAL.
    int Signal = 0;
    // 0 = 4:3, 1 = 16:9.
    int Aspect = 0;
    // Slot rows given to titles, 0..30.
    int TitleCount = 15;
    std::optional<int> Left;
    std::optional<int> Top;

    bool operator==(const MemorySetting &) const = default;
};

// Reads the group with its fix-ups: a signal or aspect outside 0..1 reads as
// 0, a title count outside 0..30 as 15.
MemorySetting ReadMemorySetting(SettingsStore &store);
// Writes the group (Left and Top only when known); the caller syncs the store.
void WriteMemorySetting(SettingsStore &store, const MemorySetting &setting);
