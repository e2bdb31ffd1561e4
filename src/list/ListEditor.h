#pragma once

#include "list/ListRecord.h"
#include "list/TitleEntry.h"
#include "list/UndoStack.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class TitleList;
struct ListServices;

// The send list as the operator edits it: the list file it came from, the
// modified flag, the 16-step snapshot undo and redo, the internal clipboard,
// sorting, drag reordering, and the list file commands. Windows (and the
// command line) call these operations; everything a person must answer goes
// through ListServices (message boxes, title type chooser), and the window
// redraws from the signals below and from TitleList's own signals.
//
// Operations that read many files (OpenList, AddImageFile) keep events
// flowing while they read; busy() is true meanwhile. The commands that change
// the list (open, save, new, add, undo, redo, cut, delete, paste, sort, move)
// do nothing and return false while busy(); the window greys them out from
// busyChanged.
class ListEditor : public QObject
{
    Q_OBJECT

public:
    // Sort modes of SortList.
    enum SortMode : int {
        NameAscending = 0,
        NameDescending = 1,
        CommentAscending = 2,
        CommentDescending = 3
    };

    ListEditor(TitleList &list, ListServices &services, QObject *parent = nullptr);
    ~ListEditor() override;

    TitleList &list() { return m_list; }
    const TitleList &list() const { return m_list; }
    ListServices &services() { return m_services; }
    bool busy() const { return m_busy > 0; }

    // --- list file state --------------------------------------------------
    // Empty for a new list; set by OpenList, OpenAtStart and SaveList.
    QString ListFileName() const { return m_listFileName; }
    bool Modified() const { return m_modified; }
    // Sets the modified flag and emits captionChanged (UpdateCaption).
    void UpdateCaption(bool modified);

    // --- list files ---------------------------------------------------------
    // Replaces the list with the titles of a list file (messages 87 when
    // reportMissing, 91, 89; 86, 88 and 122 per title). The list shown before
    // stays when the file is missing, unreadable or of a size that is not a
    // multiple of 564. At most 99 records are read. Afterwards cursor 1,
    // not modified, undo and redo emptied, and the list written back in place
    // (dropping the titles that failed) unless no title was loaded.
    // Returns whether the list was replaced.
    bool OpenList(const QString &path, bool reportMissing);
    // Reopens the last list at start: OpenList without the message for a
    // missing file; the list file name is `path` even when it cannot be read.
    void OpenAtStart(const QString &path);
    // Replaces the list with titles kept from an earlier run (messages 86, 88
    // and 122 per title, as OpenList), under listFileName (empty: a new list)
    // and with that modified flag. Nothing is written. Afterwards cursor 1,
    // undo and redo emptied.
    bool RestoreList(const std::vector<ListRecord> &records, const QString &listFileName,
                     bool modified);
    // The titles as list file records, in list order (what SaveList writes).
    std::vector<ListRecord> records() const;
    // Writes the list (nothing for an empty list). An existing file is replaced
    // after message 124 (caption 7, Yes/No) unless replaceSilently. The new list
    // is written completely to a temporary file in the same folder and then
    // renamed over the old one, so a failure never loses the old file; message
    // 91 when the file cannot be written. On success ListFileName = path, not
    // modified, undo and redo emptied. Returns whether the file was written.
    bool SaveList(const QString &path, bool replaceSilently);
    // The New command after the window's checks (136, the save offer 129):
    // nothing for a new and empty list; otherwise ClearList, no file name,
    // not modified, undo and redo emptied.
    void NewList();
    // ClearList: asks the keyer to go idle (keyerIdleRequested), then deletes
    // every title into the property history (New, Open, shutdown).
    void ClearList();

    // --- import -------------------------------------------------------------
    // Appends one title made from a picture file (messages 87, 105, the
    // history question 127, the title type question, 121, 122). Records an
    // undo step "追加" (nothing recorded when the list was empty).
    bool AddImageFile(const QString &fileName);
    // As above with an explicit history mode (the command line).
    bool AddImageFile(const QString &fileName, int historyMode);

    // --- undo and redo -------------------------------------------------------
    // Records the state before a change (nothing when the list holds no title)
    // and empties the redo stack. action: UndoAction.
    void PushUndo(int action);
    void Undo();
    void Redo();
    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    // The menu captions (message 31 / 32, two blanks, the action's name).
    QString undoCaption() const { return UndoStack::caption(31, m_undo); }
    QString redoCaption() const { return UndoStack::caption(32, m_redo); }
    const UndoStack &undoStack() const { return m_undo; }
    const UndoStack &redoStack() const { return m_redo; }
    void clearUndoRedo();
    // The grid's first visible row, kept with each undo step (the window sets these).
    void setTopRowAccess(std::function<int()> get, std::function<void(int)> set);

    // --- clipboard and editing ----------------------------------------------
    const std::vector<TitleEntry> &clipboard() const { return m_clipboard; }
    bool hasClipboard() const { return !m_clipboard.empty(); }
    // Replaces the clipboard with clipboard copies of the selected titles.
    void CopySelection();
    // Removes the selected titles: while connected each stored one is released
    // on the device (deviceTitleReleased), each is recorded in the history.
    // Cursor on the title before the first one removed (1 when that was title 1).
    // Returns the number removed.
    int DeleteSelection();
    // The Edit menu commands. Cut and Delete are refused with message 136 when
    // a selected title is on air; Delete asks message 103 (caption 3, 0x34).
    // Each returns whether the list changed.
    bool Cut();
    bool Copy();
    bool Delete();
    // Appends paste copies of the clipboard at the end (message 105 when the
    // list is or becomes full); cursor on the last title.
    bool Paste();
    void SelectAll();

    // --- order --------------------------------------------------------------
    // Sorts by name (modes 0, 1) or comment (2, 3) with the user locale's
    // case-insensitive comparison; the head entry stays first. Cursor 1.
    void SortList(int mode);
    // The header sort marks: sorts by name / comment in the direction the
    // previous sort left (first click after start: descending).
    void SortByNameHeader() { SortList(m_nextNameMode); }
    void SortByCommentHeader() { SortList(m_nextCommentMode); }
    int nextNameSortMode() const { return m_nextNameMode; }
    int nextCommentSortMode() const { return m_nextCommentMode; }
    // Drag reorder: moves title `from` to index `to` (both 1..N; the titles in
    // between shift by one) with an undo step "並び替え"; cursor on `to`.
    // Nothing (false) when they are equal or out of range.
    bool MoveTitle(int from, int to);

signals:
    // Caption refresh: the list file name and the modified flag.
    void captionChanged(const QString &listFileName, bool modified);
    // The undo or redo captions or enabling changed.
    void undoRedoChanged();
    // The clipboard content changed (Paste enabling).
    void clipboardChanged();
    // After Undo or Redo replaced the list: the device side re-synchronises the
    // titles that are stored in the mixer (ReadTitleHeader / WriteTitleHeader).
    void resyncRequested();
    // A title stored under this memory number leaves the list while
    // ListServices::connected() holds: the device side frees it (MemoryOperation
    // clear). Emitted before the title is recorded in the history.
    void deviceTitleReleased(std::uint16_t memoryNo);
    // ClearList: the keyer goes idle (SetDskState Idle, no memory number).
    void keyerIdleRequested();
    // An operation that lets events run began (true) or ended (false).
    void busyChanged(bool busy);
    // The list grew or was replaced (open, import, paste, undo to the saved
    // state): the memory side runs RefreshMemoryNow, which reads the map and
    // recomputes NoRoom (CheckFreeMemory).
    void memoryRefreshRequested();
    // The list was replaced or reordered as a whole (open, new, undo, redo,
    // sort, paste); the window resets row counts, Mark jump commands, enabling.
    void listReset();

private:
    class BusyScope;
    bool addImage(const QString &fileName, int historyMode);
    bool saveList(const QString &path, bool replaceSilently);
    void loadRecords(const std::vector<ListRecord> &records);
    bool refusedWhileBusy() const;
    void swapStep(UndoStack &source, UndoStack &target);
    UndoStep snapshot(int action) const;
    void restore(UndoStep &&step);
    int topRow() const;

    TitleList &m_list;
    ListServices &m_services;
    QString m_listFileName;
    bool m_modified = false;
    UndoStack m_undo;
    UndoStack m_redo{1 << 20};
    std::vector<TitleEntry> m_clipboard;
    int m_nextNameMode = NameDescending;
    int m_nextCommentMode = CommentDescending;
    int m_busy = 0;
    std::function<int()> m_getTopRow;
    std::function<void(int)> m_setTopRow;
};
