#pragma once

#include <QPixmap>
#include <vector>

// The grid's image list (`ImageListForGrid`): small pictures painted once
// when the window is built. The first nine numbers are fixed by the grid's
// drawing; the title-type pictures follow them.
class GridPictures
{
public:
    enum Picture {
        OnAir = 0,
        AutoTrigger = 1,
        ManualTrigger = 2,
        SlideUp = 3,
        SlideDown = 4,
        SlideLeft = 5,
        SlideRight = 6,
        SortAscending = 7,
        SortDescending = 8,
        TypeStill = 9,
        TypeMovieOnce = 10,
        TypeMovieRepeat = 11,
        TypeRollUp = 12,
        TypeRollDown = 13,
        TypeCrawlLeft = 14,
        TypeCrawlRight = 15,
        PlayNormal = 16,
        PlayReverse = 17,
        Count
    };

    // Device pixel ratio of the pictures (2 gives sharper icons on dense screens).
    explicit GridPictures(qreal devicePixelRatio = 1.0);

    const QPixmap &picture(int number) const;
    // The picture of slide direction 1..4 (up, down, left, right); -1 for none.
    static int slidePicture(int direction);
    int count() const { return int(m_pictures.size()); }

private:
    std::vector<QPixmap> m_pictures;
};
