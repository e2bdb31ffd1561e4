#pragma once

#include "list/ListRecord.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class ImageLibrary;
class MessageBoxes;
struct ListServices;
struct TitleEntry;
struct VideoFormatParams;

// The list file (".vtl"): no header, one 564-byte record per title in list
// order. ListEditor::OpenList and SaveList build on these.
namespace ListFile {

// Why a title record could not be loaded.
enum class LoadResult {
    Loaded,
    // Message 86: the first file or a frame of its sequence is missing.
    Missing,
    // Message 88: not valid for the current video format.
    Invalid,
};

// LoadTitleRecord without messages, safe on a worker thread: fills entry
// (FileList, Attributes, Name, Comment, Mark, IconFrame) from the record and
// the picture files, and validates it with CheckTitle. Unless
// keepDeviceFields, MemoryNo becomes 0xFFFE and DeviceWord 0.
LoadResult prepareTitleRecord(TitleEntry &entry, const ListRecord &record, bool keepDeviceFields,
                              const VideoFormatParams &format, ImageLibrary &images);
// The same with the messages 86 (with the first file's path) and 88; the
// files are read on a worker thread while the interface keeps running.
bool LoadTitleRecord(TitleEntry &entry, const ListRecord &record, bool keepDeviceFields,
                     ListServices &services);
// Shows the message of a failed load.
void reportLoadResult(LoadResult result, const QString &firstFile, MessageBoxes &boxes);

// The records of a list file: messages 87 (when reportMissing), 91 and 89;
// nothing on any of them. At most 99 records.
std::optional<std::vector<ListRecord>> readRecords(const QString &path, bool reportMissing,
                                                   MessageBoxes &boxes);
// The bytes of the records. A record whose first file cannot be kept in the
// path field (the import refuses such files) is left out.
QByteArray encodeRecords(const std::vector<ListRecord> &records);
// Writes bytes to path through SafeFileWriter: false on any failure (a full
// disk included), with the old file untouched.
bool replaceFileContents(const QString &path, const QByteArray &bytes);

} // namespace ListFile
