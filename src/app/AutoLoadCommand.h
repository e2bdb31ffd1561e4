#pragma once

#include <QObject>

class AutoLoad;
class DeviceSession;
class TFormAutoLoad;
class TFormMain;

// The main window's "タイトルの自動ロード(&T)" (Shift+Space and its tool
// button): enabled while a mixer is connected and the list holds a title; it
// stops the keyer if it is busy, pauses the memory refresh and runs the
// auto-load window modally.
class AutoLoadCommand : public QObject
{
    Q_OBJECT

public:
    AutoLoadCommand(TFormMain &main, DeviceSession &device);
    ~AutoLoadCommand() override;

    void mnuOperate_AutoLoadClick();
    AutoLoad &autoLoad() { return *m_autoLoad; }

private:
    void updateState();

    TFormMain &m_main;
    DeviceSession &m_device;
    AutoLoad *m_autoLoad = nullptr;
    TFormAutoLoad *m_window = nullptr;
};
