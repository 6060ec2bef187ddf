// SPDX-License-Identifier: MIT
#include "desktop/Icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

// A blue rounded square with three rising bars: counts that grow.
QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath frame;
    frame.addRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.2, s * 0.2);
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, QColor(0x3b, 0x82, 0xf6));
    fill.setColorAt(1, QColor(0x1d, 0x4e, 0xd8));
    p.fillPath(frame, fill);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const qreal barWidth = s * 0.18;
    const qreal gap = s * 0.08;
    const qreal left = (s - 3 * barWidth - 2 * gap) / 2;
    const qreal bottom = s * 0.8;
    const qreal heights[] = {0.25, 0.42, 0.6};
    for (int i = 0; i < 3; ++i) {
        const qreal h = s * heights[i];
        p.drawRoundedRect(QRectF(left + i * (barWidth + gap), bottom - h, barWidth, h), s * 0.03,
                          s * 0.03);
    }
    return pixmap;
}

} // namespace

QIcon brandleIcon()
{
    QIcon drawn;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        drawn.addPixmap(drawIcon(size));
    return QIcon::fromTheme(u"brandle"_s, drawn);
}

} // namespace brandle
