#include "core/SetupDataFile.h"

#include "core/MessageBoxes.h"
#include "core/SafeFileWriter.h"

#include <QtEndian>

namespace SetupDataFile {

namespace {
constexpr int kCaptionError = 1;
constexpr int kCaptionReadSetupData = 40;
constexpr int kMsgCannotOpenFile = 91;
constexpr int kMsgSetupDataRead = 137;
} // namespace

std::uint32_t sum(QByteArrayView data)
{
    std::uint32_t total = 0;
    for (const char c : data)
        total += std::uint8_t(c);
    return total;
}

QByteArray encode(QByteArrayView data)
{
    QByteArray content = data.first(qMin<qsizetype>(data.size(), DataSize)).toByteArray();
    content.resize(FileSize, '\0');
    qToLittleEndian<quint32>(sum(content.first(DataSize)), content.data() + DataSize);
    return content;
}

std::optional<QByteArray> decode(QByteArrayView content)
{
    if (content.size() < FileSize)
        return std::nullopt;
    const QByteArrayView data = content.first(DataSize);
    if (qFromLittleEndian<quint32>(content.data() + DataSize) != sum(data))
        return std::nullopt;
    return data.toByteArray();
}

bool Save(const QString &path, QByteArrayView data, MessageBoxes &boxes)
{
    if (data.size() != DataSize || !SafeFileWriter::replace(path, encode(data))) {
        ShowMessageById(boxes, kCaptionError, kMsgCannotOpenFile, MsgError);
        return false;
    }
    ShowMessageById(boxes, kCaptionReadSetupData, kMsgSetupDataRead, MsgInformation);
    return true;
}

} // namespace SetupDataFile
