#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>

// The kinds of title the question offers. Each value is the kind's type flags
// (bits 0-2 of the title record's TypeFlags byte).
enum class TitleTypeKind : std::uint8_t {
    Still = 0,
    MovieOnce = 1,
    RollUp = 2,
    CrawlLeft = 3,
    MovieRepeat = 5,
    RollDown = 6,
    CrawlRight = 7,
};

// What the import asks when the chosen picture starts a numbered sequence:
// which kind of title to make, how many of the found frames to keep and which
// frame is the icon. The main window answers it with the title type dialog
// (TFormTitleType), the command line from its options, tests with scripted
// answers.
struct TitleTypeQuestion
{
    // The chosen file first, then the sequence members found after it (2..241 files).
    QStringList fileList;
    // 0: full width and full height, 1: full width only, 2: full height only,
    // 3: neither (and always for an IntVideo clip). Decides the kinds offered;
    // see TitleTypeRules::kindsForVariant().
    int variant = 3;
    // 30 (NTSC) or 25 (PAL): the frame counter is capped at fps x 60 - 1.
    int framesPerSecond = 30;
    // The full screen of the current video format (640 x 480 or 768 x 576),
    // for scaling the icon preview to the 112 x 84 panel.
    int fullWidth = 640;
    int fullHeight = 480;
    // Size of the chosen (first) picture as read from its header.
    int pictureWidth = 0;
    int pictureHeight = 0;
    bool isIntVideo = false;
};

// The operator's choice.
struct TitleTypeAnswer
{
    // One of TitleTypeRules::kindsForVariant(); another counts as a cancel.
    TitleTypeKind kind = TitleTypeKind::Still;
    // 1..TitleTypeRules::frameMaximum(); ignored (taken as 1) for STILL.
    int frameCount = 1;
    // 1..frameCount; ignored (taken as 1) for STILL.
    int iconFrame = 1;
};

class TitleTypeChooser
{
public:
    virtual ~TitleTypeChooser() = default;
    // The operator's answer, or nothing when the operator cancels. An answer
    // whose kind is not offered for the variant counts as a cancel; counts out
    // of range are clamped by the import (TitleTypeRules::clampAnswer()).
    virtual std::optional<TitleTypeAnswer> chooseTitleType(const TitleTypeQuestion &question) = 0;
};
