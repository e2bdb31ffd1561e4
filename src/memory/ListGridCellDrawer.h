#pragma once

#include "core/DskState.h"
#include "memory/GridColumn.h"

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>

class GridPictures;
class ListGrid;
class QPainter;
class QRect;
class TitleAttributes;
struct TitleEntry;

// Draws the cells of the title rows of the list grid, in both views: memory
// state, protection and mark, the in effect, the title type and duration, the
// out effect, name and comment, the selection frame and the DSK cursor.
// Installed on the grid with ListGrid::setCellDrawer.
class ListGridCellDrawer
{
public:
    // Colours of the cells (given as 0xBBGGRR by the mixer's documentation).
    static QColor protectColour() { return QColor(0xF5, 0xD2, 0xF5); }
    static QColor markColour() { return QColor(0xEB, 0xEB, 0xD7); }
    static QColor storedColour() { return QColor(0xE1, 0xE1, 0xE1); }
    static QColor noRoomColour() { return QColor(0xCD, 0x8C, 0x96); }
    static QColor fitsColour() { return QColor(0xAA, 0xAA, 0xAA); }
    static QColor timeBandColour() { return QColor(0xCD, 0xCD, 0xF5); }
    static QColor nameBandColour() { return QColor(0xD7, 0xE6, 0xD2); }
    static QColor selectedFrameColour() { return QColor(0xFF, 0xFF, 0x00); }
    static QColor dskCursorColour() { return QColor(0xFF, 0x00, 0x00); }
    static QColor gridLineColour() { return QColor(0x80, 0x80, 0x80); }

    ListGridCellDrawer(const ListGrid &grid, const GridPictures &pictures);

    // The keyer play state and the blink phase (0/1) the DSK cursor is drawn with.
    void setDskState(DskState state) { m_dskState = state; }
    DskState dskState() const { return m_dskState; }
    void setBlinkPhase(int phase) { m_blinkPhase = phase ? 1 : 0; }
    int blinkPhase() const { return m_blinkPhase; }

    void draw(QPainter &p, GridColumn column, int row, const QRect &cell) const;

    // The column (ON, TYPE or OFF) that shows the DSK cursor for a state and
    // blink phase; none when no cursor is drawn.
    static std::optional<GridColumn> dskCursorColumn(DskState state, int blinkPhase);

    // Texts of the cells, as drawn.
    static QString protectText(const TitleAttributes &a);
    static QString markText(int mark, bool iconView);
    static QString inWaitText(const TitleAttributes &a);
    // "DISS" for a dissolve, else the pattern number ("%04d", list view "  %04d").
    static QString effectText(const TitleAttributes &a, bool in, bool iconView);
    static QString effectTimeText(const TitleAttributes &a, bool in);
    static QString durationText(const TitleAttributes &a, bool iconView);
    // Message id of the short type name (42, 44, 46, 49, 51, 54, 56).
    static int typeNameId(const TitleAttributes &a);
    static QColor orderColour(const TitleEntry &e);
    // The kind picture and, for a movie, its play direction picture (-1 for none).
    static int typePicture(const TitleAttributes &a);
    static int playDirectionPicture(const TitleAttributes &a);

private:
    void drawProtectMark(QPainter &p, const TitleEntry &e, const QRect &r) const;
    void drawOrder(QPainter &p, const TitleEntry &e, int row, const QRect &r) const;
    void drawFraction(QPainter &p, const TitleEntry &e, const QRect &r) const;
    void drawIcon(QPainter &p, const TitleEntry &e, const QRect &r) const;
    void drawEffect(QPainter &p, const TitleEntry &e, bool in, const QRect &r) const;
    void drawType(QPainter &p, const TitleEntry &e, const QRect &r) const;
    void drawName(QPainter &p, const TitleEntry &e, const QRect &r) const;
    void drawFrame(QPainter &p, const TitleEntry &e, GridColumn column, const QRect &r) const;
    void drawDskCursor(QPainter &p, const TitleEntry &e, GridColumn column, const QRect &r) const;
    void drawPicture(QPainter &p, int number, int x, int y) const;
    int unit() const;
    int bandHeight() const { return unit() / 4 + 2; }
    bool iconView() const;

    const ListGrid &m_grid;
    const GridPictures &m_pictures;
    DskState m_dskState = DskState::Ended;
    int m_blinkPhase = 0;
};
