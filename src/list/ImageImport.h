#pragma once

#include "imaging/ImageLibrary.h"
#include "imaging/TitleTypeChooser.h"

#include <QString>
#include <QStringList>
#include <optional>

struct ListServices;
struct TitleEntry;

// Turns a picture file into a title: sequence detection, the title type
// question, the frame size checks, the height class, the default (or
// remembered) properties and the thumbnail. Appending to the list is
// ListEditor::AddImageFile.
class ImageImport
{
public:
    // The most files taken after the chosen one: a title has at most 241 frames from import.
    static constexpr int MaxFollowingFiles = 240;

    explicit ImageImport(ListServices &services) : m_services(services) {}

    // Fills entry.Attributes, FileList, IconFrame, Name and Comment from the
    // file. False when the file's header cannot be read (no message), the
    // operator cancels the title type question, a frame cannot be read (no
    // message) or the frames differ in size (message 121). Reading the frames'
    // headers keeps the interface alive (Waits) and runs on worker threads.
    // An IntVideo clip always gets variant 3; the caller sets BlocksPerFrame 8.
    bool MakeTitleFromImage(const QString &fileName, TitleEntry &entry, bool isIntVideo);
    // Draws the new title's thumbnail from its icon frame. False, with message 122,
    // when that picture cannot be loaded: such a title could never be sent, and
    // is not added.
    bool makeThumbnail(TitleEntry &entry);

    // The files that follow fileName in a numbered sequence (name ending in
    // decimal digits before the extension; zero-padded to the same width when
    // the digits begin with "0"), stopping at the first missing number and
    // after MaxFollowingFiles. True when at least one was found.
    static bool DetectSequence(const QString &fileName, QStringList &list,
                               int maxFiles = MaxFollowingFiles);

    // The history decision of an import: by "HistoryMode" 0 (use a found record),
    // 1 (ask message 127, caption 9, on a found record), other (never). A used
    // record fills entry through ListFile::LoadTitleRecord (Mark 0); when that
    // fails (messages 86 or 88) the record counts as not used and entry is
    // reset to a new entry. Returns whether a record was used.
    bool UseHistoryOnAdd(TitleEntry &entry, const QString &path);
    // As above with an explicit mode (the command line takes "ask" as "never").
    bool UseHistoryOnAdd(TitleEntry &entry, const QString &path, int historyMode);

    // Why an import was refused when it was refused before any dialog:
    // a path that cannot be kept in a list file (over 259 bytes in CP932 or
    // with characters CP932 lacks). Shows the message and returns false.
    bool checkStorablePath(const QString &fileName);

private:
    // The steps of MakeTitleFromImage. The frames of a sequence and the kind, from
    // the title type question; STILL for a single picture; nothing on a cancel.
    std::optional<TitleTypeKind> chooseFrames(TitleEntry &entry, const ImageInfo &first,
                                              bool isIntVideo);
    // Every further frame readable (no message) and of the first one's size (121).
    bool framesMatch(const QStringList &files, const ImageInfo &first);
    // The record of a new title of the kind: type, frame count, name, default
    // effects (checked by the device while connected), timing and position.
    void fillNewTitle(TitleEntry &entry, TitleTypeKind kind, const QString &fileName);

    ListServices &m_services;
};
