#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>

class DeviceEventReader;
class DeviceLink;
class MessageBoxes;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The device information window: the mixer's raw event lines (while "Show
// data" is checked and the window is shown), the USB firmware version, and
// the nine panel key codes asked for every 100 ms while it is shown. It is
// created hidden at start-up and lives until shutdown; the event reader
// runs whether it is shown or not.
class TFormVT90Info : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kKeyCodeMs = 100;
    static constexpr int kMaxLines = 10000;

    // Asks for the file the text is saved to; empty when cancelled.
    using SaveChooser = std::function<QString(QWidget *owner)>;

    TFormVT90Info(DeviceLink &link, DeviceEventReader &reader, MessageBoxes &boxes,
                  QWidget *parent = nullptr);

    void setSaveChooser(SaveChooser chooser) { m_chooseSave = std::move(chooser); }

    QPlainTextEdit *RichEdit = nullptr;
    QCheckBox *CBoxShowVT90Info = nullptr;
    QLabel *LabelUsbFirmVersion = nullptr;
    // LabelKeyCode1..3, LabelKeyCodeCpA1..3, LabelKeyCodeCpB1..3.
    std::array<QLabel *, 9> LabelKeyCodes{};
    QTimer TimerGetKeyCode;

    void addLine(const QString &line);
    void TimerGetKeyCodeTimer();
    void ButtonClearClick();
    // False when a chosen file could not be written (after the message).
    bool ButtonSaveClick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    DeviceLink &m_link;
    MessageBoxes &m_boxes;
    SaveChooser m_chooseSave;
};
