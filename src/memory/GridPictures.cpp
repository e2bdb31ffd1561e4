#include "memory/GridPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

constexpr int kIconSize = 16;

QPixmap blank(int w, int h, qreal dpr)
{
    QPixmap p(QSize(int(w * dpr), int(h * dpr)));
    p.setDevicePixelRatio(dpr);
    p.fill(Qt::transparent);
    return p;
}

void begin(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
}

// A rounded badge with a one- or two-letter label: clear at 16 pixels.
QPixmap badge(const QColor &fill, const QString &label, qreal dpr)
{
    QPixmap pm = blank(kIconSize, kIconSize, dpr);
    QPainter p(&pm);
    begin(p);
    p.setPen(QPen(fill.darker(150), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, kIconSize - 1, kIconSize - 1), 3, 3);
    QFont f;
    f.setPixelSize(label.size() > 1 ? 8 : 11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, kIconSize, kIconSize), Qt::AlignCenter, label);
    return pm;
}

// An arrow pointing along (dx, dy), one of the four axis directions.
void drawArrow(QPainter &p, const QRectF &r, int dx, int dy, const QColor &colour)
{
    const QPointF c = r.center();
    const qreal h = r.width() / 2 - 1;
    QPolygonF head;
    QLineF shaft;
    if (dx != 0) {
        const qreal tip = c.x() + dx * h;
        head << QPointF(tip, c.y()) << QPointF(tip - dx * h * 0.9, c.y() - h * 0.75)
             << QPointF(tip - dx * h * 0.9, c.y() + h * 0.75);
        shaft = QLineF(c.x() - dx * h, c.y(), tip - dx * h * 0.5, c.y());
    } else {
        const qreal tip = c.y() + dy * h;
        head << QPointF(c.x(), tip) << QPointF(c.x() - h * 0.75, tip - dy * h * 0.9)
             << QPointF(c.x() + h * 0.75, tip - dy * h * 0.9);
        shaft = QLineF(c.x(), c.y() - dy * h, c.x(), tip - dy * h * 0.5);
    }
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(shaft);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(head);
}

QPixmap slide(int dx, int dy, qreal dpr)
{
    QPixmap pm = blank(kIconSize, kIconSize, dpr);
    QPainter p(&pm);
    begin(p);
    p.setPen(QPen(QColor(0x40, 0x40, 0x90), 1));
    p.setBrush(QColor(0xE8, 0xE8, 0xFF));
    p.drawRect(QRectF(0.5, 0.5, kIconSize - 1, kIconSize - 1));
    drawArrow(p, QRectF(2, 2, kIconSize - 4, kIconSize - 4), dx, dy, QColor(0x20, 0x30, 0xA0));
    return pm;
}

QPixmap onAir(qreal dpr)
{
    QPixmap pm = blank(kIconSize, kIconSize, dpr);
    QPainter p(&pm);
    begin(p);
    p.setPen(QPen(QColor(0x80, 0, 0), 1));
    p.setBrush(QColor(0xE0, 0x10, 0x10));
    p.drawEllipse(QRectF(0.5, 0.5, kIconSize - 1, kIconSize - 1));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(5, 5, 6, 6));
    return pm;
}

// The header's sort marks are 32 x 14 with the triangle in the middle, so a
// press 43 to 53 pixels into the header cell lands on a mark drawn 32 pixels in.
QPixmap sortArrow(bool ascending, qreal dpr)
{
    QPixmap pm = blank(32, 14, dpr);
    QPainter p(&pm);
    begin(p);
    QPolygonF tri;
    if (ascending)
        tri << QPointF(16, 2.5) << QPointF(11, 11.5) << QPointF(21, 11.5);
    else
        tri << QPointF(16, 11.5) << QPointF(11, 2.5) << QPointF(21, 2.5);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    p.setBrush(QColor(0x60, 0x60, 0x60));
    p.drawPolygon(tri);
    return pm;
}

// Title kinds: a frame standing for the screen with what moves in it.
QPixmap typePicture(int kind, qreal dpr)
{
    QPixmap pm = blank(kIconSize, kIconSize, dpr);
    QPainter p(&pm);
    begin(p);
    const QRectF screen(0.5, 2.5, kIconSize - 1, kIconSize - 5);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    p.setBrush(QColor(0xFF, 0xFF, 0xF0));
    p.drawRect(screen);
    const QColor ink(0x10, 0x60, 0x20);
    switch (kind) {
    case GridPictures::TypeStill:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRect(QRectF(4, 6, 8, 2));
        p.drawRect(QRectF(4, 9, 6, 2));
        break;
    case GridPictures::TypeMovieOnce:
    case GridPictures::TypeMovieRepeat: {
        // Film perforations above and below.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x30, 0x30, 0x30));
        for (int x = 2; x < kIconSize - 2; x += 3) {
            p.drawRect(QRectF(x, 3.5, 1.5, 1.5));
            p.drawRect(QRectF(x, 11, 1.5, 1.5));
        }
        if (kind == GridPictures::TypeMovieOnce) {
            p.setBrush(ink);
            p.drawRect(QRectF(6.5, 6, 3, 4));
        } else {
            p.setPen(QPen(ink, 1.4));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(4.5, 5.5, 7, 5), 30 * 16, 300 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawPolygon(QPolygonF() << QPointF(11, 5) << QPointF(13, 8) << QPointF(10, 8));
        }
        break;
    }
    case GridPictures::TypeRollUp:
        drawArrow(p, QRectF(3, 3, 10, 10), 0, -1, ink);
        break;
    case GridPictures::TypeRollDown:
        drawArrow(p, QRectF(3, 3, 10, 10), 0, 1, ink);
        break;
    case GridPictures::TypeCrawlLeft:
        drawArrow(p, QRectF(3, 3, 10, 10), -1, 0, ink);
        break;
    case GridPictures::TypeCrawlRight:
        drawArrow(p, QRectF(3, 3, 10, 10), 1, 0, ink);
        break;
    default:
        break;
    }
    return pm;
}

// Play direction of a movie: a play triangle, forwards or backwards.
QPixmap playDirection(bool reverse, qreal dpr)
{
    QPixmap pm = blank(kIconSize, kIconSize, dpr);
    QPainter p(&pm);
    begin(p);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    p.setBrush(reverse ? QColor(0xD0, 0x60, 0x10) : QColor(0x20, 0x90, 0x30));
    QPolygonF tri;
    if (reverse)
        tri << QPointF(2.5, 8) << QPointF(12.5, 2.5) << QPointF(12.5, 13.5);
    else
        tri << QPointF(13.5, 8) << QPointF(3.5, 2.5) << QPointF(3.5, 13.5);
    p.drawPolygon(tri);
    return pm;
}

} // namespace

GridPictures::GridPictures(qreal dpr)
{
    m_pictures.resize(Count);
    m_pictures[OnAir] = onAir(dpr);
    m_pictures[AutoTrigger] = badge(QColor(0x1E, 0x9E, 0x3E), QStringLiteral("A"), dpr);
    m_pictures[ManualTrigger] = badge(QColor(0xE0, 0x7A, 0x10), QStringLiteral("M"), dpr);
    m_pictures[SlideUp] = slide(0, -1, dpr);
    m_pictures[SlideDown] = slide(0, 1, dpr);
    m_pictures[SlideLeft] = slide(-1, 0, dpr);
    m_pictures[SlideRight] = slide(1, 0, dpr);
    m_pictures[SortAscending] = sortArrow(true, dpr);
    m_pictures[SortDescending] = sortArrow(false, dpr);
    for (int k = TypeStill; k <= TypeCrawlRight; ++k)
        m_pictures[std::size_t(k)] = typePicture(k, dpr);
    m_pictures[PlayNormal] = playDirection(false, dpr);
    m_pictures[PlayReverse] = playDirection(true, dpr);
}

const QPixmap &GridPictures::picture(int number) const
{
    static const QPixmap none;
    if (number < 0 || number >= count())
        return none;
    return m_pictures[std::size_t(number)];
}

int GridPictures::slidePicture(int direction)
{
    if (direction < 1 || direction > 4)
        return -1;
    return SlideUp + direction - 1;
}
