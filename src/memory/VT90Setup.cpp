#include "memory/VT90Setup.h"

#include "core/MessageBoxes.h"
#include "device/DeviceCommands.h"
#include "device/DeviceRequests.h"
#include "memory/KeyerState.h"
#include "resources/MessageTable.h"

#include <algorithm>

namespace {
constexpr int kCaptionError = 1;
constexpr int kCaptionMemorySetting = 6;
constexpr int kMsgChangeMemorySetting = 118;
constexpr int kMsgNewList = 119;
constexpr int kMsgMemoryCleared = 120;
constexpr int kMsgDskRunning = 136;

// A count as the edits read it: non-numeric text is 0.
int countOf(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}
} // namespace

VT90Setup::VT90Setup(DeviceLink &link, const KeyerState &keyer, MessageBoxes &boxes)
    : m_link(link), m_keyer(keyer), m_boxes(boxes)
{}

void VT90Setup::open(int signal, int aspect, int titleRows)
{
    m_signal = signal == 1 ? 1 : 0;
    m_aspect = aspect == 1 ? 1 : 0;
    // A map that claims more title rows than the format has cannot be shown
    // as it is; the split is then taken as all titles.
    m_titleCount = std::clamp(titleRows, 0, total());
    m_openedSignal = m_signal;
    m_openedAspect = m_aspect;
    m_openedTitleRows = titleRows;
}

void VT90Setup::CBoxSignalChange(int signal)
{
    m_signal = signal == 1 ? 1 : 0;
    m_titleCount = total() / 2;
}

void VT90Setup::EditTitleCountChange(const QString &text)
{
    const int count = countOf(text);
    m_titleCount = count < 0 || count > total() ? total() / 2 : count;
}

void VT90Setup::EditIntVideoCountChange(const QString &text)
{
    const int count = countOf(text);
    m_titleCount = total() - (count < 0 || count > total() ? total() / 2 : count);
}

int VT90Setup::questionLine() const
{
    if (m_signal != m_openedSignal)
        return kMsgNewList;
    if (m_titleCount != m_openedTitleRows)
        return kMsgMemoryCleared;
    if (m_aspect != m_openedAspect)
        return 0;
    return -1;
}

bool VT90Setup::keyerBusy()
{
    if (!m_keyer.IsDskBusy())
        return false;
    ShowMessageById(m_boxes, kCaptionError, kMsgDskRunning, MsgError);
    return true;
}

int VT90Setup::answerOf(const std::optional<QByteArray> &reply)
{
    const auto status = reply && !reply->isEmpty() ? DeviceRequest::Status(reply->at(0))
                                                   : DeviceRequest::Status::Refused;
    if (status == DeviceRequest::Status::Accepted)
        return 0;
    // A setting the mixer did not take is said so: the dialog stays for another try.
    const int textId = status == DeviceRequest::Status::Busy ? DeviceCommands::kMsgBusy
                                                             : DeviceCommands::kMsgRefused;
    ShowMessageById(m_boxes, kCaptionError, textId, MsgError);
    return textId;
}

VT90Setup::Applied VT90Setup::ButtonMemorySetClick()
{
    if (keyerBusy())
        return Applied::KeyerBusy;
    const int line = questionLine();
    if (line < 0)
        return Applied::Unchanged;
    const QString text = MessageTable::text(kMsgChangeMemorySetting) +
                         (line > 0 ? MessageTable::text(line) : QString());
    if (m_boxes.show(kCaptionMemorySetting, kMsgChangeMemorySetting,
                     MessageTable::text(kCaptionMemorySetting), text, MsgExclamationYesNo) != IdYes)
        return Applied::Declined;
    // The IntVideo count is not sent: the mixer gives it the remaining rows.
    const int answer = answerOf(DeviceCommands(m_link).SetMemorySetting(
        std::uint8_t(m_aspect), std::uint8_t(m_signal), std::uint16_t(m_titleCount)));
    if (answer == DeviceCommands::kMsgBusy)
        return Applied::DeviceBusy;
    return answer == 0 ? Applied::Sent : Applied::NotAccepted;
}

bool VT90Setup::readEventNumber(const QString &text, int &number)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return false;
    // A negative number is no event the mixer keeps; it recalls the first.
    number = std::clamp(value, 0, MaxEventNumber);
    return true;
}

VT90Setup::Recalled VT90Setup::ButtonEventRecallClick(QString &eventText)
{
    if (keyerBusy())
        return Recalled::KeyerBusy;
    int number = 0;
    if (!readEventNumber(eventText, number)) {
        eventText = QStringLiteral("0");
        return Recalled::NotANumber;
    }
    eventText = QString::number(number);
    const int answer = answerOf(DeviceCommands(m_link).RecallEvent(std::uint16_t(number)));
    if (answer == DeviceCommands::kMsgBusy)
        return Recalled::DeviceBusy;
    return answer == 0 ? Recalled::Sent : Recalled::NotAccepted;
}
