#pragma once

#include "device/TransferTest.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class BulkInTransfer;
class BulkOutTransfer;
class DeviceEventReader;
class DeviceLink;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// The USB diagnostics window: a view over the device link. It shows the link
// log, the descriptors and the reset count, and runs the service commands:
// the transfer test, a memory-page preview, a device reset and the
// controller's serial commands. Created hidden at start, kept until exit.
class TFormUsbInfo : public QWidget
{
    Q_OBJECT

public:
    TFormUsbInfo(DeviceLink &link, BulkInTransfer &bulkIn, BulkOutTransfer &bulkOut,
                 DeviceEventReader &events, QWidget *parent = nullptr);
    ~TFormUsbInfo() override;

    // What pauses the memory refresh while the transfer test runs (a guard held for its duration).
    void setRefreshPause(std::function<std::shared_ptr<void>()> pause);

    QPlainTextEdit *RichEditStatus;
    QCheckBox *CBoxShowInfo;
    QComboBox *CBoxDescriptor;
    QPlainTextEdit *MemoDescriptor;
    QPushButton *ButtonTestStart;
    QCheckBox *CBoxEndless;
    QSpinBox *EditMemoryPage;
    QPushButton *ButtonPreview;
    QLabel *LabelResetCount;
    QPushButton *ButtonResetDevice;
    QComboBox *CBox232C_Command;
    std::array<QLineEdit *, 5> Edit232C_Param;
    QPushButton *Button232C_Send;

    void CBoxShowInfoClick();
    void CBoxDescriptorChange();
    void ButtonTestStartClick();
    void ButtonPreviewClick();
    void ButtonResetDeviceClick();
    void CBox232C_CommandChange();
    void Button232C_SendClick();

    // The block Send would send now.
    QByteArray serialBlock() const;

private:
    void buildControls();
    void updateDeviceControls();
    // True when a bulk block is moving; the handler is then called again shortly.
    bool deferredWhileMoving(void (TFormUsbInfo::*handler)());
    bool readTest();
    bool writeTest();

    DeviceLink &m_link;
    BulkInTransfer &m_bulkIn;
    BulkOutTransfer &m_bulkOut;
    DeviceEventReader &m_events;
    std::function<std::shared_ptr<void>()> m_pauseRefresh;
    bool m_testing = false;
};
