// The program's small icons, drawn with QPainter on a 16-unit grid and
// scaled to 16x16 and 32x32. Tested by ui/widgets_test.cpp.
#include "ui/glyph_icons.h"

#include <QCoreApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor kGreen(0x2e, 0x8b, 0x3a);
const QColor kRed(0xd0, 0x30, 0x30);
const QColor kGrey(0x9a, 0xa0, 0xa6);
const QColor kInk(0x3c, 0x44, 0x4e);
const QColor kBlue(0x1f, 0x5f, 0xbf);
const QColor kPaper(0xfb, 0xfb, 0xfb);
const QColor kFolder(0xe8, 0xb8, 0x4a);

QPen Pen(const QColor& color, double width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A sheet of paper with a folded corner.
void DrawPage(QPainter& p) {
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(10, 1.5);
    page.lineTo(12.5, 4);
    page.lineTo(12.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    p.setPen(Pen(kInk, 1));
    p.setBrush(kPaper);
    p.drawPath(page);
    p.drawPolyline(QPolygonF({{10, 1.5}, {10, 4}, {12.5, 4}}));
}

// Radio waves around a mast, for reception.
void DrawAntenna(QPainter& p, const QColor& color) {
    p.setPen(Pen(color, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(8, 8), QPointF(8, 14.5));
    p.drawLine(QPointF(5.5, 14.5), QPointF(10.5, 14.5));
    p.drawArc(QRectF(5, 4, 6, 6), 30 * 16, 120 * 16);
    p.drawArc(QRectF(2.5, 1.5, 11, 11), 35 * 16, 110 * 16);
    p.drawArc(QRectF(5, 4, 6, 6), 210 * 16, 120 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(8, 7), 1.5, 1.5);
}

void DrawPlus(QPainter& p, QPointF centre, double half, const QColor& color) {
    p.setPen(Pen(color, 2));
    p.drawLine(centre - QPointF(half, 0), centre + QPointF(half, 0));
    p.drawLine(centre - QPointF(0, half), centre + QPointF(0, half));
}

void Draw(QPainter& p, Glyph glyph) {
    switch (glyph) {
        case Glyph::Ok:
            p.setPen(Pen(kGreen, 2.4));
            p.drawPolyline(QPolygonF({{3, 8.5}, {6.5, 12}, {13, 4}}));
            break;
        case Glyph::Failed:
            p.setPen(Pen(kRed, 2.4));
            p.drawLine(QPointF(4, 4), QPointF(12, 12));
            p.drawLine(QPointF(12, 4), QPointF(4, 12));
            break;
        case Glyph::Neutral:
            p.setPen(Qt::NoPen);
            p.setBrush(kGrey);
            p.drawEllipse(QPointF(8, 8), 3, 3);
            break;
        case Glyph::ExpandTypeOf:
            // A boxed plus with tree branches below it.
            p.setPen(Pen(kInk, 1));
            p.setBrush(kPaper);
            p.drawRect(QRectF(1.5, 1.5, 7, 7));
            DrawPlus(p, QPointF(5, 5), 2, kBlue);
            p.setPen(Pen(kInk, 1));
            p.drawPolyline(QPolygonF({{5, 9}, {5, 13.5}, {9, 13.5}}));
            p.drawLine(QPointF(5, 11), QPointF(9, 11));
            p.setPen(Pen(kBlue, 1.6));
            p.drawLine(QPointF(10.5, 11), QPointF(14.5, 11));
            p.drawLine(QPointF(10.5, 13.5), QPointF(14.5, 13.5));
            break;
        case Glyph::DisplayMode:
            // A window whose lines are indented as a tree.
            p.setPen(Pen(kInk, 1));
            p.setBrush(kPaper);
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            p.setPen(Pen(kBlue, 1.6));
            p.drawLine(QPointF(4, 5.5), QPointF(12, 5.5));
            p.drawLine(QPointF(6.5, 8), QPointF(12, 8));
            p.drawLine(QPointF(6.5, 10.5), QPointF(12, 10.5));
            break;
        case Glyph::ExternalData:
            // An arrow coming into a tray.
            p.setPen(Pen(kInk, 1.4));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({{1.5, 10}, {1.5, 14.5}, {14.5, 14.5}, {14.5, 10}}));
            p.setPen(Pen(kBlue, 2));
            p.drawLine(QPointF(8, 1.5), QPointF(8, 10.5));
            p.drawPolyline(QPolygonF({{4.5, 7.5}, {8, 11}, {11.5, 7.5}}));
            break;
        case Glyph::Translate:
            // Run: a triangle pointing right.
            p.setPen(Pen(kGreen.darker(115), 1));
            p.setBrush(kGreen);
            p.drawPolygon(QPolygonF({{4, 2.5}, {13.5, 8}, {4, 13.5}}));
            break;
        case Glyph::AddToList:
            p.setPen(Pen(kInk, 1.6));
            p.drawLine(QPointF(1.5, 3.5), QPointF(10.5, 3.5));
            p.drawLine(QPointF(1.5, 7), QPointF(10.5, 7));
            p.drawLine(QPointF(1.5, 10.5), QPointF(6.5, 10.5));
            DrawPlus(p, QPointF(11.5, 11.5), 3.2, kGreen);
            break;
        case Glyph::Load: {
            // An open folder.
            p.setPen(Pen(kFolder.darker(150), 1));
            p.setBrush(kFolder.darker(115));
            p.drawPolygon(
                QPolygonF({{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {13.5, 5}, {13.5, 13.5}, {1.5, 13.5}}));
            p.setBrush(kFolder);
            p.drawPolygon(QPolygonF({{3.5, 7.5}, {15, 7.5}, {13, 13.5}, {1.5, 13.5}}));
            break;
        }
        case Glyph::Save:
            // A diskette: body, shutter and label.
            p.setPen(Pen(kBlue.darker(140), 1));
            p.setBrush(kBlue);
            p.drawPolygon(
                QPolygonF({{1.5, 1.5}, {12.5, 1.5}, {14.5, 3.5}, {14.5, 14.5}, {1.5, 14.5}}));
            p.setBrush(kPaper);
            p.drawRect(QRectF(4, 1.5, 7, 4.5));
            p.drawRect(QRectF(3.5, 9, 9, 5.5));
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue.darker(140));
            p.drawRect(QRectF(8.5, 2.5, 1.5, 2.5));
            break;
        case Glyph::Clear: {
            // An eraser, tilted, over a line it has wiped.
            p.setPen(Pen(kInk, 1));
            p.drawLine(QPointF(1.5, 14.5), QPointF(14.5, 14.5));
            p.translate(8, 8);
            p.rotate(-40);
            p.setBrush(kPaper);
            p.drawRect(QRectF(-6, -2.5, 6, 5));
            p.setBrush(kRed);
            p.drawRect(QRectF(0, -2.5, 6, 5));
            break;
        }
        case Glyph::Script:
            DrawPage(p);
            p.setPen(Pen(kBlue, 1.2));
            p.drawLine(QPointF(5.5, 6.5), QPointF(10.5, 6.5));
            p.drawLine(QPointF(7, 9), QPointF(10.5, 9));
            p.drawLine(QPointF(7, 11.5), QPointF(10, 11.5));
            break;
        case Glyph::Receiving:
            DrawAntenna(p, kGreen);
            break;
        case Glyph::Idle:
            DrawAntenna(p, kGrey);
            break;
    }
}

QPixmap Render(Glyph glyph, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    Draw(p, glyph);
    return pixmap;
}

// Pixmaps must go before the application does.
QHash<int, QIcon>& Cache() {
    static QHash<int, QIcon> cache;
    static bool registered = false;
    if (!registered) {
        registered = true;
        qAddPostRoutine([] {
            Cache().clear();
            registered = false;
        });
    }
    return cache;
}

}  // namespace

QIcon GlyphIcon(Glyph glyph) {
    QHash<int, QIcon>& cache = Cache();
    auto it = cache.constFind(static_cast<int>(glyph));
    if (it != cache.constEnd()) return *it;
    QIcon icon;
    icon.addPixmap(Render(glyph, 16));
    icon.addPixmap(Render(glyph, 32));
    cache.insert(static_cast<int>(glyph), icon);
    return icon;
}
