#pragma once

#include <QString>
#include <cstdint>

class SettingsStore;

// Property defaults for new titles (group "Default"). The effect bytes have
// the layout of the title record's effect groups.
struct DefaultTitleSettings
{
    std::uint8_t StillDurMinute = 0;
    std::uint8_t StillDurSecond = 10;
    std::uint8_t StillDurFrame = 0;
    std::uint8_t MovieDurMinute = 0;
    std::uint8_t MovieDurSecond = 10;
    std::uint8_t MovieDurFrame = 0;
    std::int32_t RollSpeed = 8;
    std::int32_t CrawlSpeed = 8;
    std::int32_t PositionX = 0;
    std::int32_t PositionYNtsc = 0;
    std::int32_t PositionYPal = 0;
    std::uint8_t InEffType = 0;
    std::uint16_t InEffPattern = 1;
    std::uint8_t InEffTimeSecond = 2;
    std::uint8_t InEffTimeFrame = 0;
    std::uint8_t InSpeed = 8;
    std::uint8_t OutEffType = 0;
    std::uint16_t OutEffPattern = 1;
    std::uint8_t OutEffTimeSecond = 2;
    std::uint8_t OutEffTimeFrame = 0;
    std::uint8_t OutSpeed = 8;

    bool operator==(const DefaultTitleSettings &) const = default;
};

// Preferences (group "Environment").
struct EnvironmentSettings
{
    bool FormModeIcon = true;
    // 0 always, 1 ask, 2 never use the property history.
    std::int32_t HistoryMode = 1;
    std::int32_t IntVideoFilter = 1;
    // 0 = White (Y 235), 1 = SuperWhite (Y 255).
    std::int32_t YUVMax = 0;
    // 0 = Black (Y 16), 1 = SuperBlack (Y 0).
    std::int32_t YUVMin = 0;
    bool AutoLoadEndless = false;
    bool BeginLastStatus = true;
    bool ConfirmClose = true;
    bool ClearMemory = false;
    bool ClearKeepData = false;
    bool CursorAutoMove = true;
    QString ListFolder;
    QString TitleFolder;
    QString IntVideoFolder;

    bool operator==(const EnvironmentSettings &) const = default;
};

// Main window placement (group "MainForm").
struct MainFormSettings
{
    static constexpr int DesignWidth = 740;
    static constexpr int DesignHeight = 558;

    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = DesignWidth;
    std::int32_t Height = DesignHeight;
    QString LastListFile;

    bool operator==(const MainFormSettings &) const = default;
};

// Everything the main window reads at start and writes at exit.
struct Settings
{
    DefaultTitleSettings Default;
    EnvironmentSettings Environment;
    MainFormSettings MainForm;

    bool operator==(const Settings &) const = default;
};

// Where the defaults that depend on the machine come from.
struct SettingsContext
{
    QString programFolder;
    int screenWidth = 0;
    int screenHeight = 0;
};

// The settings with every default, for this program folder and screen.
Settings DefaultSettings(const SettingsContext &context);
// Reads "Default", "Environment" and "MainForm" in that order, then sanitises.
Settings LoadSettings(SettingsStore &store, const SettingsContext &context);
// Replaces out-of-range values as the program always has (some replacements
// are not the default on purpose: a bad history mode becomes "always").
void SanitiseSettings(Settings &settings);
// Writes "MainForm" (LastListFile included), "Default" and "Environment", every value.
bool SaveSettings(SettingsStore &store, const Settings &settings);
// Writes the "Default" group alone (the command line's defaults commands).
bool SaveDefaultSettings(SettingsStore &store, const DefaultTitleSettings &defaults);
// "LastListFile" of "MainForm" (empty when missing), read when the window shows.
QString ReadLastListFile(SettingsStore &store);
