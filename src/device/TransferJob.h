#pragma once

#include "imaging/DevicePicture.h"

#include <QObject>
#include <QString>
#include <functional>
#include <utility>

class TransferSide;

// One job of the transfer dialogs: what runs on the user-interface thread
// while the dialog shows its progress (titles into the mixer, a title or clip
// out of it, the pipe test, the setup data). The job keeps the window alive
// by waiting through Waits; its bytes move on the side's worker thread, which
// moves the side's gauge.
class TransferJob : public QObject
{
    Q_OBJECT

public:
    // The level settings (YUVMax, YUVMin) of the pictures converted.
    using LevelSource = std::function<DevicePicture::LevelSettings()>;

    // The pipe test's standard size and the flash setup data's size, both ways.
    static constexpr int kPipeTestBytes = 1228800;
    static constexpr int kSetupDataBytes = 32768;

    using QObject::QObject;

    // Where the levels come from; they are asked afresh for every picture.
    void setLevels(LevelSource source) { m_levels = std::move(source); }

    // The side whose gauge the dialog shows.
    virtual TransferSide &side() = 0;
    // Runs the whole job; true when it succeeded.
    virtual bool Run() = 0;
    // The operator's Cancel: aborts the transfer in progress, so that the job
    // fails at its next step. Does nothing while no block is moving.
    virtual void Cancel() = 0;

signals:
    // The dialog's caption (a title transfer, an IntVideo save ...).
    void captionChanged(const QString &caption);
    // The status line ("sending the title of Order 3 ... 2 / 60").
    void statusChanged(const QString &status);

protected:
    // The levels now (the defaults when no source is set).
    DevicePicture::LevelSettings levels() const
    {
        return m_levels ? m_levels() : DevicePicture::LevelSettings{};
    }

private:
    LevelSource m_levels;
};
