#include "list/ListEditor.h"

#include "core/MemoryNo.h"
#include "core/MessageBoxes.h"
#include "core/ParallelWork.h"
#include "core/Settings.h"
#include "imaging/ImageLibrary.h"
#include "imaging/Thumbnail.h"
#include "list/ImageImport.h"
#include "list/ListFile.h"
#include "list/ListServices.h"
#include "list/PropertyHistory.h"
#include "list/TitleList.h"

#include <QCollator>
#include <QFileInfo>
#include <QLoggingCategory>
#include <algorithm>
#include <numeric>

Q_LOGGING_CATEGORY(lcListEditor, "titledeck.list.editor", QtWarningMsg)

namespace {

TitleEntry snapshotCopy(const TitleEntry &e)
{
    TitleEntry c = e;
    c.Selected = false;
    c.NoRoom = false;
    return c;
}

TitleEntry clipboardCopy(const TitleEntry &e)
{
    TitleEntry c = snapshotCopy(e);
    c.Attributes.setMemoryNo(MemoryNo::NotStored);
    c.Attributes.setDeviceWord(0);
    c.Mark = 0;
    return c;
}

TitleEntry pasteCopy(const TitleEntry &e)
{
    TitleEntry c = snapshotCopy(e);
    c.Mark = 0;
    return c;
}

ListRecord recordOf(const TitleEntry &e)
{
    ListRecord r;
    r.FirstFile = e.firstFile();
    r.Attributes = e.Attributes;
    r.Name = e.Name;
    r.Comment = e.Comment;
    r.Mark = e.Mark;
    r.IconFrame = e.IconFrame;
    return r;
}

} // namespace

ListEditor::ListEditor(TitleList &list, ListServices &services, QObject *parent)
    : QObject(parent), m_list(list), m_services(services)
{}

ListEditor::~ListEditor() = default;

// Keeps busy() true for the length of an operation that lets events run.
class ListEditor::BusyScope
{
public:
    explicit BusyScope(ListEditor &editor) : m_editor(editor)
    {
        if (m_editor.m_busy++ == 0)
            emit m_editor.busyChanged(true);
    }
    ~BusyScope()
    {
        if (--m_editor.m_busy == 0)
            emit m_editor.busyChanged(false);
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    ListEditor &m_editor;
};

void ListEditor::UpdateCaption(bool modified)
{
    m_modified = modified;
    emit captionChanged(m_listFileName, m_modified);
}

void ListEditor::setTopRowAccess(std::function<int()> get, std::function<void(int)> set)
{
    m_getTopRow = std::move(get);
    m_setTopRow = std::move(set);
}

int ListEditor::topRow() const
{
    return m_getTopRow ? m_getTopRow() : 1;
}

bool ListEditor::refusedWhileBusy() const
{
    if (!busy())
        return false;
    // Events run while pictures are read; a command arriving then would change
    // the list under the operation in hand.
    qCInfo(lcListEditor) << "list command refused: the list is being read";
    return true;
}

void ListEditor::clearUndoRedo()
{
    m_undo.clear();
    m_redo.clear();
    emit undoRedoChanged();
}

// --- list files ------------------------------------------------------------

bool ListEditor::OpenList(const QString &path, bool reportMissing)
{
    if (refusedWhileBusy())
        return false;
    BusyScope busy(*this);
    std::optional<std::vector<ListRecord>> records =
        ListFile::readRecords(path, reportMissing, m_services.boxes);
    if (!records)
        return false;

    ClearList();
    m_listFileName = path;
    loadRecords(*records);
    UpdateCaption(false);
    clearUndoRedo();
    // Titles that failed are dropped from the file; an empty list is never written.
    if (!m_list.isEmpty())
        saveList(path, true);
    return true;
}

bool ListEditor::RestoreList(const std::vector<ListRecord> &records, const QString &listFileName,
                             bool modified)
{
    if (refusedWhileBusy())
        return false;
    BusyScope busy(*this);
    ClearList();
    m_listFileName = listFileName;
    loadRecords(records);
    // The file under that name is not what the list holds: nothing is written.
    UpdateCaption(modified);
    clearUndoRedo();
    return true;
}

void ListEditor::loadRecords(const std::vector<ListRecord> &records)
{
    // Titles are rebuilt from their pictures on worker threads (header reads
    // of every frame, one picture for the thumbnail); the interface stays
    // alive. Messages follow in record order afterwards.
    struct Loaded
    {
        TitleEntry entry;
        ListFile::LoadResult result = ListFile::LoadResult::Missing;
        bool thumbnailFailed = false;
    };
    std::vector<Loaded> loaded(records.size());
    const VideoFormatParams &format = m_services.format();
    const bool wide = m_services.isWide();
    ImageLibrary &images = m_services.images;
    ParallelWork::run(m_services.waits, int(records.size()), [&](int i) {
        Loaded &l = loaded[std::size_t(i)];
        l.entry = TitleEntry::create();
        l.result =
            ListFile::prepareTitleRecord(l.entry, records[std::size_t(i)], false, format, images);
        if (l.result != ListFile::LoadResult::Loaded)
            return;
        const QString icon = l.entry.FileList.at(l.entry.IconFrame - 1);
        const std::optional<Bitmap> picture = images.load(icon);
        if (!picture || picture->isNull()) {
            l.thumbnailFailed = true;
            return;
        }
        Thumbnail::render(
            l.entry.Thumbnail, picture->bitsPerPixel() == 32 ? *picture : picture->converted(32),
            l.entry.Attributes.positionX(), l.entry.Attributes.positionY(), format, wide);
    });
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        Loaded &l = loaded[i];
        if (l.result != ListFile::LoadResult::Loaded) {
            ListFile::reportLoadResult(l.result, records[i].FirstFile, m_services.boxes);
            continue;
        }
        if (l.thumbnailFailed) {
            ShowMessageById(m_services.boxes, 1, 122, MsgError,
                            {QFileInfo(l.entry.FileList.at(l.entry.IconFrame - 1)).fileName()});
        }
        m_list.insert(m_list.count() + 1, std::move(l.entry));
    }

    emit listReset();
    emit memoryRefreshRequested();
    m_list.SetCursor(1);
}

void ListEditor::OpenAtStart(const QString &path)
{
    if (refusedWhileBusy())
        return;
    // The name stays even when the list cannot be read: Save then writes a
    // new list under it.
    m_listFileName = path;
    if (!OpenList(path, false))
        UpdateCaption(false);
}

bool ListEditor::SaveList(const QString &path, bool replaceSilently)
{
    if (refusedWhileBusy())
        return false;
    return saveList(path, replaceSilently);
}

bool ListEditor::saveList(const QString &path, bool replaceSilently)
{
    if (m_list.isEmpty())
        return false;
    if (QFileInfo::exists(path) && !replaceSilently &&
        ShowMessageById(m_services.boxes, 7, 124, MsgQuestionYesNo, {QFileInfo(path).fileName()}) !=
            IdYes)
        return false;
    // The new list is complete on disk before it replaces the old one.
    if (!ListFile::replaceFileContents(path, ListFile::encodeRecords(records()))) {
        ShowMessageById(m_services.boxes, 1, 91, MsgError);
        return false;
    }
    m_listFileName = path;
    UpdateCaption(false);
    clearUndoRedo();
    return true;
}

std::vector<ListRecord> ListEditor::records() const
{
    std::vector<ListRecord> out;
    out.reserve(std::size_t(m_list.count()));
    for (int i = 1; i <= m_list.count(); ++i)
        out.push_back(recordOf(m_list.at(i)));
    return out;
}

void ListEditor::NewList()
{
    if (refusedWhileBusy())
        return;
    if (m_list.isEmpty() && m_listFileName.isEmpty())
        return;
    ClearList();
    m_listFileName.clear();
    UpdateCaption(false);
    clearUndoRedo();
    emit listReset();
}

void ListEditor::ClearList()
{
    emit keyerIdleRequested();
    m_list.SelectAll();
    DeleteSelection();
}

// --- import ------------------------------------------------------------------

bool ListEditor::AddImageFile(const QString &fileName)
{
    return addImage(fileName, m_services.settings.Environment.HistoryMode);
}

bool ListEditor::AddImageFile(const QString &fileName, int historyMode)
{
    return addImage(fileName, historyMode);
}

bool ListEditor::addImage(const QString &fileName, int historyMode)
{
    if (refusedWhileBusy())
        return false;
    BusyScope busy(*this);
    if (!QFileInfo::exists(fileName)) {
        ShowMessageById(m_services.boxes, 1, 87, MsgError);
        return false;
    }
    if (m_list.isFull()) {
        ShowMessageById(m_services.boxes, 1, 105, MsgError);
        return false;
    }
    ImageImport import(m_services);
    if (!import.checkStorablePath(fileName))
        return false;
    TitleEntry entry = TitleEntry::create();
    if (!import.UseHistoryOnAdd(entry, fileName, historyMode) &&
        !import.MakeTitleFromImage(fileName, entry, false))
        return false;
    if (!import.makeThumbnail(entry))
        return false;
    // Events ran while the pictures were read: the list may have filled meanwhile.
    if (m_list.isFull()) {
        ShowMessageById(m_services.boxes, 1, 105, MsgError);
        return false;
    }
    const bool first = m_list.isEmpty();
    PushUndo(int(UndoAction::Add));
    m_list.insert(m_list.count() + 1, std::move(entry));
    // The first title of an empty list is the cursor: selected like any cursor
    // title, so that the edit commands reach it.
    if (first)
        m_list.SetCursor(1);
    emit memoryRefreshRequested();
    UpdateCaption(true);
    return true;
}

// --- undo and redo -------------------------------------------------------------

UndoStep ListEditor::snapshot(int action) const
{
    UndoStep step;
    step.Entries.reserve(std::size_t(m_list.count() + 1));
    for (int i = 0; i <= m_list.count(); ++i)
        step.Entries.push_back(snapshotCopy(m_list.at(i)));
    step.Cursor = m_list.cursor();
    step.TopRow = topRow();
    step.Action = action;
    step.WasModified = m_modified;
    return step;
}

void ListEditor::PushUndo(int action)
{
    if (m_list.isEmpty())
        return;
    m_undo.push(snapshot(action));
    m_redo.clear();
    emit undoRedoChanged();
}

void ListEditor::Undo()
{
    swapStep(m_undo, m_redo);
}

void ListEditor::Redo()
{
    swapStep(m_redo, m_undo);
}

void ListEditor::restore(UndoStep &&step)
{
    m_list.clear();
    for (std::size_t i = 1; i < step.Entries.size(); ++i)
        m_list.insert(m_list.count() + 1, std::move(step.Entries[i]));
}

void ListEditor::swapStep(UndoStack &source, UndoStack &target)
{
    if (refusedWhileBusy())
        return;
    if (source.isEmpty())
        return;
    UndoStep s = source.pop();
    UndoStep current;
    // Read before the titles are taken out: an emptied grid scrolls to its top.
    current.TopRow = topRow();
    current.Cursor = m_list.cursor();
    current.Entries.reserve(std::size_t(m_list.count() + 1));
    current.Entries.push_back(m_list.at(0));
    while (!m_list.isEmpty())
        current.Entries.push_back(m_list.take(1));
    current.Action = s.Action;
    current.WasModified = m_modified;
    const int cursor = s.Cursor;
    const int top = s.TopRow;
    const bool wasModified = s.WasModified;
    restore(std::move(s));
    target.push(std::move(current));

    emit listReset();
    m_list.SetCursor(cursor);
    if (m_setTopRow)
        m_setTopRow(top);
    emit resyncRequested();
    if (!wasModified) {
        UpdateCaption(false);
        emit memoryRefreshRequested();
    } else {
        UpdateCaption(true);
    }
    emit undoRedoChanged();
}

// --- clipboard and editing ---------------------------------------------------------

void ListEditor::CopySelection()
{
    m_clipboard.clear();
    for (int i = 1; i <= m_list.count(); ++i) {
        if (m_list.at(i).Selected)
            m_clipboard.push_back(clipboardCopy(m_list.at(i)));
    }
    emit clipboardChanged();
}

int ListEditor::DeleteSelection()
{
    int deleted = 0;
    int firstDeleted = 0;
    std::vector<TitleEntry> leaving;
    for (int i = 1; i <= m_list.count();) {
        if (!m_list.at(i).Selected) {
            ++i;
            continue;
        }
        const std::uint16_t memoryNo = m_list.at(i).Attributes.memoryNo();
        if (m_services.isConnected() && memoryNo != MemoryNo::NotStored)
            emit deviceTitleReleased(memoryNo);
        leaving.push_back(m_list.take(i));
        if (deleted++ == 0)
            firstDeleted = i;
    }
    // Recorded in one write of the history, however many titles leave.
    if (!leaving.empty())
        m_services.history.StoreHistory(leaving);
    if (deleted > 0 && !m_list.isEmpty())
        m_list.SetCursor(firstDeleted == 1 ? 1 : firstDeleted - 1);
    if (deleted > 0)
        emit listReset();
    return deleted;
}

bool ListEditor::Cut()
{
    if (refusedWhileBusy())
        return false;
    // Nothing selected: nothing changes, so no undo step and no modified mark.
    if (m_list.SelectionCount() == 0 || m_list.SelectionOnAir(m_services.boxes))
        return false;
    PushUndo(int(UndoAction::Cut));
    CopySelection();
    DeleteSelection();
    UpdateCaption(true);
    return true;
}

bool ListEditor::Copy()
{
    // With nothing selected the clipboard keeps what it holds.
    if (m_list.SelectionCount() == 0)
        return false;
    CopySelection();
    return true;
}

bool ListEditor::Delete()
{
    if (refusedWhileBusy())
        return false;
    if (m_list.SelectionCount() == 0 || m_list.SelectionOnAir(m_services.boxes))
        return false;
    if (ShowMessageById(m_services.boxes, 3, 103, MsgExclamationYesNo) != IdYes)
        return false;
    PushUndo(int(UndoAction::Delete));
    DeleteSelection();
    UpdateCaption(true);
    return true;
}

bool ListEditor::Paste()
{
    if (refusedWhileBusy())
        return false;
    if (m_clipboard.empty())
        return false;
    if (m_list.isFull()) {
        ShowMessageById(m_services.boxes, 1, 105, MsgError);
        return false;
    }
    PushUndo(int(UndoAction::Paste));
    for (const TitleEntry &e : m_clipboard) {
        if (m_list.isFull()) {
            ShowMessageById(m_services.boxes, 1, 105, MsgError);
            break;
        }
        m_list.insert(m_list.count() + 1, pasteCopy(e));
    }
    emit listReset();
    m_list.SetCursor(m_list.count());
    emit memoryRefreshRequested();
    UpdateCaption(true);
    return true;
}

void ListEditor::SelectAll()
{
    m_list.SelectAll();
}

// --- order -----------------------------------------------------------------------------

void ListEditor::SortList(int mode)
{
    if (refusedWhileBusy())
        return;
    if (m_list.isEmpty() || mode < NameAscending || mode > CommentDescending)
        return;
    QCollator collator; // the user's default locale
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const bool byName = mode == NameAscending || mode == NameDescending;
    const bool descending = mode == NameDescending || mode == CommentDescending;
    std::vector<int> order(std::size_t(m_list.count()));
    std::iota(order.begin(), order.end(), 1);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const TitleEntry &x = m_list.at(a);
        const TitleEntry &y = m_list.at(b);
        const int c =
            byName ? collator.compare(x.Name, y.Name) : collator.compare(x.Comment, y.Comment);
        return descending ? c > 0 : c < 0;
    });
    // A list already in that order does not change: no undo step, no modified mark.
    const bool changes = !std::is_sorted(order.begin(), order.end());
    if (changes) {
        PushUndo(int(UndoAction::Sort));
        std::vector<TitleEntry> titles;
        titles.reserve(order.size());
        for (int index : order)
            titles.push_back(std::move(m_list.at(index)));
        m_list.clear();
        for (TitleEntry &e : titles)
            m_list.insert(m_list.count() + 1, std::move(e));
    }
    if (byName)
        m_nextNameMode = mode == NameAscending ? NameDescending : NameAscending;
    else
        m_nextCommentMode = mode == CommentAscending ? CommentDescending : CommentAscending;
    if (!changes)
        return;
    emit listReset();
    m_list.SetCursor(1);
    UpdateCaption(true);
}

bool ListEditor::MoveTitle(int from, int to)
{
    if (refusedWhileBusy())
        return false;
    const int n = m_list.count();
    if (from < 1 || from > n || to < 1 || to > n || from == to)
        return false;
    PushUndo(int(UndoAction::Sort));
    m_list.move(from, from < to ? to + 1 : to);
    emit listReset();
    m_list.SetCursor(to);
    UpdateCaption(true);
    return true;
}
