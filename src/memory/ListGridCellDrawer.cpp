#include "memory/ListGridCellDrawer.h"

#include "list/TitleList.h"
#include "memory/GridPictures.h"
#include "memory/ListGrid.h"
#include "resources/MessageTable.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

namespace {

QString twoDigits(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QFont boldOf(const QFont &f)
{
    QFont b = f;
    b.setBold(true);
    return b;
}

} // namespace

ListGridCellDrawer::ListGridCellDrawer(const ListGrid &grid, const GridPictures &pictures)
    : m_grid(grid), m_pictures(pictures)
{}

int ListGridCellDrawer::unit() const
{
    return m_grid.layoutUnit();
}

bool ListGridCellDrawer::iconView() const
{
    return m_grid.iconView();
}

std::optional<GridColumn> ListGridCellDrawer::dskCursorColumn(DskState state, int blinkPhase)
{
    switch (state) {
    case DskState::OnWait:
        return blinkPhase == 1 ? std::optional(GridColumn::On) : std::nullopt;
    case DskState::OnRunning:
        return GridColumn::On;
    case DskState::Showing:
        return GridColumn::Type;
    case DskState::OffWait:
        return blinkPhase == 1 ? std::optional(GridColumn::Off) : std::nullopt;
    case DskState::OffRunning:
        return GridColumn::Off;
    case DskState::Ended:
    case DskState::Idle:
        break;
    }
    return std::nullopt;
}

QString ListGridCellDrawer::protectText(const TitleAttributes &a)
{
    return a.protect() ? QStringLiteral("P") : QString();
}

QString ListGridCellDrawer::markText(int mark, bool iconView)
{
    if (mark == 0)
        return {};
    return iconView ? QStringLiteral("M%1").arg(mark) : QString::number(mark);
}

QString ListGridCellDrawer::inWaitText(const TitleAttributes &a)
{
    return QStringLiteral("  ") + twoDigits(a.waitSecond(Effect::In)) + u':' +
           twoDigits(a.waitFrame(Effect::In));
}

QString ListGridCellDrawer::effectText(const TitleAttributes &a, bool in, bool iconView)
{
    const Effect e = in ? Effect::In : Effect::Out;
    if (!a.isPattern(e))
        return MessageTable::text(58);
    const QString number = QStringLiteral("%1").arg(a.effPattern(e), 4, 10, QLatin1Char('0'));
    return iconView ? number : QStringLiteral("  ") + number;
}

QString ListGridCellDrawer::effectTimeText(const TitleAttributes &a, bool in)
{
    const Effect e = in ? Effect::In : Effect::Out;
    return twoDigits(a.effTimeSecond(e)) + u':' + twoDigits(a.effTimeFrame(e));
}

QString ListGridCellDrawer::durationText(const TitleAttributes &a, bool iconView)
{
    const QString t =
        twoDigits(a.durMinute()) + u':' + twoDigits(a.durSecond()) + u':' + twoDigits(a.durFrame());
    return iconView ? t : QStringLiteral("  ") + t;
}

int ListGridCellDrawer::typeNameId(const TitleAttributes &a)
{
    switch (a.kind()) {
    case TitleKind::Still:
        return 42;
    case TitleKind::Movie:
        return a.directionBit() ? 46 : 44;
    case TitleKind::Roll:
        return a.directionBit() ? 51 : 49;
    case TitleKind::Crawl:
        return a.directionBit() ? 56 : 54;
    }
    return 42;
}

int ListGridCellDrawer::typePicture(const TitleAttributes &a)
{
    switch (a.kind()) {
    case TitleKind::Still:
        return GridPictures::TypeStill;
    case TitleKind::Movie:
        return a.directionBit() ? GridPictures::TypeMovieRepeat : GridPictures::TypeMovieOnce;
    case TitleKind::Roll:
        return a.directionBit() ? GridPictures::TypeRollDown : GridPictures::TypeRollUp;
    case TitleKind::Crawl:
        return a.directionBit() ? GridPictures::TypeCrawlRight : GridPictures::TypeCrawlLeft;
    }
    return GridPictures::TypeStill;
}

int ListGridCellDrawer::playDirectionPicture(const TitleAttributes &a)
{
    if (a.kind() != TitleKind::Movie)
        return -1;
    return a.movieReverse() ? GridPictures::PlayReverse : GridPictures::PlayNormal;
}

QColor ListGridCellDrawer::orderColour(const TitleEntry &e)
{
    if (e.isStored())
        return storedColour();
    return e.NoRoom ? noRoomColour() : fitsColour();
}

void ListGridCellDrawer::draw(QPainter &p, GridColumn column, int row, const QRect &cell) const
{
    const TitleList *list = m_grid.list();
    if (!list || row < 1 || row > list->count())
        return;
    const TitleEntry &e = list->at(row);
    const QColor face = m_grid.palette().color(QPalette::Button);
    p.fillRect(cell, face);
    p.setPen(Qt::black);
    switch (column) {
    case GridColumn::State:
        drawProtectMark(p, e, cell);
        break;
    case GridColumn::Order:
        drawOrder(p, e, row, cell);
        break;
    case GridColumn::Fraction:
        drawFraction(p, e, cell);
        break;
    case GridColumn::Icon:
        drawIcon(p, e, cell);
        break;
    case GridColumn::On:
        drawEffect(p, e, true, cell);
        break;
    case GridColumn::Type:
        drawType(p, e, cell);
        break;
    case GridColumn::Off:
        drawEffect(p, e, false, cell);
        break;
    case GridColumn::Name:
        drawName(p, e, cell);
        break;
    }
    // One separator: between rows in the frameless first column, between
    // columns everywhere else.
    p.setPen(gridLineColour());
    if (column == GridColumn::State)
        p.drawLine(cell.left(), cell.bottom(), cell.right(), cell.bottom());
    else
        p.drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
    if (column != GridColumn::State)
        drawFrame(p, e, column, cell);
    drawDskCursor(p, e, column, cell);
}

void ListGridCellDrawer::drawPicture(QPainter &p, int number, int x, int y) const
{
    const QPixmap &pm = m_pictures.picture(number);
    if (!pm.isNull())
        p.drawPixmap(x, y, pm);
}

void ListGridCellDrawer::drawProtectMark(QPainter &p, const TitleEntry &e, const QRect &r) const
{
    const int u = unit();
    const int split = r.top() + u / 2;
    const QRect protectBand(r.left(), r.top(), r.width(), split - r.top());
    const QRect markBand(r.left(), split, r.width(), r.bottom() - split + 1);
    if (e.Attributes.protect())
        p.fillRect(protectBand, protectColour());
    if (e.Mark != 0)
        p.fillRect(markBand, markColour());
    p.setPen(Qt::black);
    const int lineHeight = 14;
    const QString protect = protectText(e.Attributes);
    if (!protect.isEmpty())
        p.drawText(QRect(r.left(), r.top() + u / 3 - lineHeight / 2, r.width(), lineHeight),
                   Qt::AlignCenter, protect);
    const QString mark = markText(e.Mark, iconView());
    if (!mark.isEmpty())
        p.drawText(QRect(r.left(), r.top() + 2 * u / 3 - lineHeight / 2, r.width(), lineHeight),
                   Qt::AlignCenter, mark);
    const TitleList *list = m_grid.list();
    if (list && e.Attributes.memoryNo() == list->OnAirMemoryNo()) {
        const QPixmap &pm = m_pictures.picture(GridPictures::OnAir);
        const QSize s = pm.deviceIndependentSize().toSize();
        p.drawPixmap(r.left() + (r.width() - s.width()) / 2,
                     r.top() + (r.height() - s.height()) / 2, pm);
    }
}

void ListGridCellDrawer::drawOrder(QPainter &p, const TitleEntry &e, int row, const QRect &r) const
{
    p.fillRect(r, orderColour(e));
    if (e.isStored()) {
        const QPalette &pal = m_grid.palette();
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
        p.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
        p.drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom() - 1);
    }
    p.setPen(Qt::black);
    p.drawText(r, Qt::AlignCenter, QString::number(row));
}

void ListGridCellDrawer::drawFraction(QPainter &p, const TitleEntry &e, const QRect &r) const
{
    const QString fraction = TitleAttributes::divideText(e.Attributes.blocksPerFrame());
    if (!iconView()) {
        p.drawText(r, Qt::AlignCenter, fraction);
        return;
    }
    const int half = unit() / 2;
    p.drawText(QRect(r.left(), r.top(), r.width(), half), Qt::AlignCenter, fraction);
    p.drawText(QRect(r.left(), r.top() + half, r.width(), r.height() - half), Qt::AlignCenter,
               QString::number(e.Attributes.frameCount()));
}

void ListGridCellDrawer::drawIcon(QPainter &p, const TitleEntry &e, const QRect &r) const
{
    if (!iconView()) {
        p.drawText(r, Qt::AlignCenter, QString::number(e.Attributes.frameCount()));
        return;
    }
    const Bitmap &b = e.Thumbnail;
    if (b.isNull())
        return;
    const QImage::Format format =
        b.bitsPerPixel() == 24 ? QImage::Format_BGR888 : QImage::Format_RGB32;
    const QImage image(b.bits(), b.width(), b.height(), b.bytesPerLine(), format);
    const int y = r.top() + (r.height() - b.height()) / 2;
    p.drawImage(QPoint(r.left() + (r.width() - b.width()) / 2, y), image);
}

void ListGridCellDrawer::drawEffect(QPainter &p, const TitleEntry &e, bool in, const QRect &r) const
{
    const TitleAttributes &a = e.Attributes;
    const Effect which = in ? Effect::In : Effect::Out;
    const bool autoTrigger = a.autoTrigger(which);
    const int trigger = autoTrigger ? GridPictures::AutoTrigger : GridPictures::ManualTrigger;
    const int slide = GridPictures::slidePicture(a.slideDirection(which));
    const QFont normal = p.font();

    if (iconView()) {
        const int band = bandHeight();
        const QRect upper(r.left(), r.top(), r.width(), band);
        p.fillRect(upper.adjusted(0, 1, 0, 0), timeBandColour());
        p.setFont(boldOf(normal));
        p.setPen(Qt::black);
        if (in && autoTrigger)
            p.drawText(upper.adjusted(0, 0, -18, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       inWaitText(a));
        drawPicture(p, trigger, r.right() - 18, r.top() + (band - 16) / 2 + 1);
        p.setFont(normal);
        const int line = 16;
        const QRect effect(r.left() + 6, r.top() + band + 6, r.width() - 30, line);
        p.drawText(effect, Qt::AlignLeft | Qt::AlignVCenter, effectText(a, in, true));
        p.drawText(effect.translated(0, line + 2), Qt::AlignLeft | Qt::AlignVCenter,
                   effectTimeText(a, in));
        if (slide >= 0)
            drawPicture(p, slide, r.right() - 20, effect.top());
        return;
    }

    // List view: trigger, in-wait (auto in only), effect and slide side by side.
    int x = r.left() + 4;
    const int picY = r.top() + (r.height() - 16) / 2;
    drawPicture(p, trigger, x, picY);
    x += 18;
    const QFontMetrics fm(normal);
    if (in && autoTrigger) {
        const QString wait = inWaitText(a);
        const int w = fm.horizontalAdvance(wait) + 4;
        const QRect band(x, r.top() + 3, w, r.height() - 6);
        p.fillRect(band, timeBandColour());
        p.setFont(boldOf(normal));
        p.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, wait);
        p.setFont(normal);
        x += w;
    }
    const QString effect = effectText(a, in, false);
    const int w = fm.horizontalAdvance(effect) + 4;
    p.drawText(QRect(x, r.top(), w, r.height()), Qt::AlignLeft | Qt::AlignVCenter, effect);
    x += w + 2;
    if (slide >= 0)
        drawPicture(p, slide, x, picY);
}

void ListGridCellDrawer::drawType(QPainter &p, const TitleEntry &e, const QRect &r) const
{
    const TitleAttributes &a = e.Attributes;
    const QFont normal = p.font();
    const int kind = typePicture(a);
    const int direction = playDirectionPicture(a);

    if (iconView()) {
        const int band = bandHeight();
        const QRect upper(r.left(), r.top(), r.width(), band);
        p.fillRect(upper.adjusted(0, 1, 0, 0), timeBandColour());
        p.setFont(boldOf(normal));
        p.setPen(Qt::black);
        p.drawText(upper, Qt::AlignCenter, durationText(a, true));
        p.setFont(normal);
        const QRect name(r.left(), r.top() + band + 6, r.width(), 16);
        p.drawText(name, Qt::AlignCenter, MessageTable::text(typeNameId(a)));
        const int pictures = direction >= 0 ? 2 : 1;
        int x = r.left() + (r.width() - pictures * 18 + 2) / 2;
        const int y = name.bottom() + 6;
        drawPicture(p, kind, x, y);
        if (direction >= 0)
            drawPicture(p, direction, x + 18, y);
        return;
    }

    // The list view's line is narrow: the band holds the digits of the
    // "  %02d:%02d:%02d" text (its leading blanks are the band's own margin).
    const QString duration = durationText(a, false).trimmed();
    const QFontMetrics fm(normal);
    const int w = fm.horizontalAdvance(duration) + 4;
    const QRect band(r.left() + 2, r.top() + 3, w, r.height() - 6);
    p.fillRect(band, timeBandColour());
    p.drawText(band, Qt::AlignCenter, duration);
    int x = band.right() + 2;
    const int y = r.top() + (r.height() - 16) / 2;
    drawPicture(p, kind, x, y);
    if (direction >= 0)
        drawPicture(p, direction, x + 16, y);
}

void ListGridCellDrawer::drawName(QPainter &p, const TitleEntry &e, const QRect &r) const
{
    const QFont normal = p.font();
    if (iconView()) {
        const int band = bandHeight();
        const QRect upper(r.left(), r.top() + 1, r.width(), band - 1);
        p.fillRect(upper, nameBandColour());
        p.setFont(boldOf(normal));
        p.drawText(upper.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter, e.Name);
        p.setFont(normal);
        p.drawText(QRect(r.left() + 6, r.top() + band + 6, r.width() - 12, r.height() - band - 10),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, e.Comment);
        return;
    }
    const QRect band = r.adjusted(0, 1, 0, -1);
    p.fillRect(band, nameBandColour());
    p.setFont(boldOf(normal));
    p.drawText(band.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter, e.Name);
    p.setFont(normal);
}

void ListGridCellDrawer::drawFrame(QPainter &p, const TitleEntry &e, GridColumn column,
                                   const QRect &r) const
{
    const QColor colour = e.Selected ? selectedFrameColour() : gridLineColour();
    // A selected row gets a two-pixel frame so it stands out on the light bands.
    const int width = e.Selected ? 2 : 1;
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRect(QRect(r.left(), r.top(), r.width(), width));
    p.drawRect(QRect(r.left(), r.bottom() - width + 1, r.width(), width));
    // The left line goes in the first framed column on screen (the order
    // column unless the grid is scrolled sideways past it).
    const GridColumn first =
        std::max(GridColumn::Order, m_grid.columnAt(0).value_or(GridColumn::Order));
    if (column == first)
        p.drawRect(QRect(r.left(), r.top(), width, r.height()));
    if (column == GridColumn::Name)
        p.drawRect(QRect(r.right() - width + 1, r.top(), width, r.height()));
    p.restore();
}

void ListGridCellDrawer::drawDskCursor(QPainter &p, const TitleEntry &e, GridColumn column,
                                       const QRect &r) const
{
    const TitleList *list = m_grid.list();
    if (!list || e.Attributes.memoryNo() != list->OnAirMemoryNo())
        return;
    if (column != dskCursorColumn(m_dskState, m_blinkPhase))
        return;
    p.save();
    p.setPen(QPen(dskCursorColour(), 2));
    p.setBrush(Qt::NoBrush);
    // Inset 3 px left, 1 px top, 2 px right; as high as the layout unit plus one.
    p.drawRect(QRect(r.left() + 3, r.top() + 1, r.width() - 5, unit() + 1));
    p.restore();
}
