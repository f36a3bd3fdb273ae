#ifndef PIXELS_H
#define PIXELS_H

#include <QColor>
#include <QImage>
#include <QPointF>

#include <cstdlib>

// Whether a pixel within `reach` of `at` is near `color`: the middle of a
// drawn line has its full colour, its edges are blended with the ground.
inline bool colourNear(const QImage &image, const QPointF &at, const QColor &color, int reach = 2)
{
    const QPoint centre = at.toPoint();
    for (int y = centre.y() - reach; y <= centre.y() + reach; ++y) {
        for (int x = centre.x() - reach; x <= centre.x() + reach; ++x) {
            if (!image.rect().contains(x, y))
                continue;
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) < 40 && std::abs(pixel.green() - color.green()) < 40
                && std::abs(pixel.blue() - color.blue()) < 40)
                return true;
        }
    }
    return false;
}

#endif // PIXELS_H
