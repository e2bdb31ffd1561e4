#pragma once

#include "list/TitleEntry.h"

#include <QString>
#include <deque>
#include <vector>

// What an undo step undoes (the names are message ids 34-39 of the table).
enum class UndoAction : int { Add = 1, Delete = 2, Cut = 3, Copy = 4, Paste = 5, Sort = 6 };

// One snapshot of the list before a change.
struct UndoStep
{
    // Every entry, the head entry included, as snapshot copies.
    std::vector<TitleEntry> Entries;
    int Cursor = 1;
    int TopRow = 1;
    int Action = 0;
    bool WasModified = false;
};

// A stack of snapshots, newest last, holding at most `limit` steps (the
// oldest is dropped when a step beyond it is pushed).
class UndoStack
{
public:
    static constexpr int UndoLimit = 16;

    explicit UndoStack(int limit = UndoLimit) : m_limit(limit) {}

    void push(UndoStep step);
    UndoStep pop();
    const UndoStep *top() const { return m_steps.empty() ? nullptr : &m_steps.back(); }
    bool isEmpty() const { return m_steps.empty(); }
    int size() const { return int(m_steps.size()); }
    void clear() { m_steps.clear(); }

    // The menu caption: message 31 (undo) or 32 (redo), two blanks, the name
    // of the newest step's action (empty for no step or an action outside 1..6).
    static QString caption(int captionId, const UndoStack &stack);
    // The action's name (message 34 + action - 1), empty outside 1..6.
    static QString actionName(int action);

private:
    std::deque<UndoStep> m_steps;
    int m_limit;
};
