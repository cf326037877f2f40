// A read-only hex view: one geometry, measured from the font, serves both
// painting and hit testing; only the rows in view are painted. Tested by
// ui/hex_view_test.cpp.
#include "ui/hex_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace {

constexpr int kGroup = 8;      // bytes in a group of the hex column
constexpr int kTopMargin = 2;  // pixels above the first row
constexpr char kDigits[] = "0123456789ABCDEF";

}  // namespace

// Horizontal positions are in row coordinates (0 = left edge of a row before
// horizontal scrolling), counted in character widths from the font.
struct HexView::Geometry {
    int charWidth;
    int rowHeight;
    int ascent;
    int digits;  // offset column
    int offsetX;
    int hexX;      // first hex cell
    int asciiX;    // first character cell
    int rowWidth;  // one full row with its margins

    // A hex cell is three characters wide, its two digits in the middle, so
    // that the cells of a group touch; the groups stand one character apart.
    int HexCellWidth() const { return 3 * charWidth; }
    int HexCellX(int column) const {
        return hexX + column * HexCellWidth() + (column >= kGroup ? charWidth : 0);
    }
    int AsciiCellX(int column) const { return asciiX + column * charWidth; }
    // The column of the cell at x, -1 between or beyond the cells.
    int HexColumnAt(int x) const {
        for (int group = 0; group < kBytesPerRow / kGroup; ++group) {
            int left = HexCellX(group * kGroup);
            if (x >= left && x < left + kGroup * HexCellWidth())
                return group * kGroup + (x - left) / HexCellWidth();
        }
        return -1;
    }
    int AsciiColumnAt(int x) const {
        if (x < asciiX || x >= asciiX + kBytesPerRow * charWidth) return -1;
        return (x - asciiX) / charWidth;
    }
};

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    UpdateScrollBars();
}

void HexView::SetData(const QByteArray& bytes) {
    data_ = bytes;
    highlightStart_ = -1;
    highlightLength_ = 0;
    UpdateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void HexView::SetHighlight(int start, int length) {
    int size = static_cast<int>(data_.size());
    if (start < 0 || start >= size || length <= 0) {
        highlightStart_ = -1;
        highlightLength_ = 0;
    } else {
        highlightStart_ = start;
        highlightLength_ = length > size - start ? size - start : length;
        ScrollToHighlight();
    }
    viewport()->update();
}

int HexView::OffsetDigits() const {
    int digits = 4;
    qint64 last = std::max<qint64>(data_.size() - 1, 0);
    while (digits < 16 && (last >> (4 * digits)) != 0) ++digits;
    return digits;
}

HexView::Geometry HexView::Measure() const {
    QFontMetrics metrics(font());
    Geometry g;
    g.charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    g.rowHeight = std::max(1, metrics.height() + 2);
    g.ascent = metrics.ascent() + 1;
    g.digits = OffsetDigits();
    g.offsetX = g.charWidth / 2;
    g.hexX = g.offsetX + (g.digits + 1) * g.charWidth;
    g.asciiX = g.HexCellX(kBytesPerRow - 1) + g.HexCellWidth() + g.charWidth;
    g.rowWidth = g.AsciiCellX(kBytesPerRow) + g.charWidth / 2;
    return g;
}

int HexView::RowCount() const {
    return static_cast<int>((data_.size() + kBytesPerRow - 1) / kBytesPerRow);
}

void HexView::UpdateScrollBars() {
    Geometry g = Measure();
    int fullRows = std::max(1, (viewport()->height() - kTopMargin) / g.rowHeight);
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, std::max(0, RowCount() - fullRows));
    vertical->setPageStep(fullRows);
    vertical->setSingleStep(1);
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, g.rowWidth - viewport()->width()));
    horizontal->setPageStep(std::max(1, viewport()->width()));
    horizontal->setSingleStep(g.charWidth);
}

void HexView::ScrollToHighlight() {
    if (highlightStart_ < 0) return;
    QScrollBar* vertical = verticalScrollBar();
    int first = highlightStart_ / kBytesPerRow;
    int last = (highlightStart_ + highlightLength_ - 1) / kBytesPerRow;
    int top = vertical->value();
    int shown = vertical->pageStep();
    if (first < top) {
        vertical->setValue(first);
    } else if (last >= top + shown) {
        vertical->setValue(std::min(first, last - shown + 1));
    }
    // The start's hex cell in view across.
    Geometry g = Measure();
    int x = g.HexCellX(highlightStart_ % kBytesPerRow);
    QScrollBar* horizontal = horizontalScrollBar();
    int left = horizontal->value();
    if (x < left || x + g.HexCellWidth() > left + viewport()->width()) horizontal->setValue(x);
}

QRect HexView::ByteRect(int offset, bool ascii) const {
    if (offset < 0 || offset >= data_.size()) return {};
    Geometry g = Measure();
    int row = offset / kBytesPerRow - verticalScrollBar()->value();
    int column = offset % kBytesPerRow;
    int x = (ascii ? g.AsciiCellX(column) : g.HexCellX(column)) - horizontalScrollBar()->value();
    return QRect(x, kTopMargin + row * g.rowHeight, ascii ? g.charWidth : g.HexCellWidth(),
                 g.rowHeight);
}

int HexView::OffsetAt(const QPoint& viewportPos) const {
    int y = viewportPos.y() - kTopMargin;
    if (y < 0) return -1;
    Geometry g = Measure();
    int x = viewportPos.x() + horizontalScrollBar()->value();
    int column = g.HexColumnAt(x);
    if (column < 0) column = g.AsciiColumnAt(x);
    if (column < 0) return -1;
    qint64 offset =
        (qint64(verticalScrollBar()->value()) + y / g.rowHeight) * kBytesPerRow + column;
    return offset < data_.size() ? static_cast<int>(offset) : -1;
}

QSize HexView::sizeHint() const {
    Geometry g = Measure();
    int frame = 2 * frameWidth();
    return QSize(g.rowWidth + frame + verticalScrollBar()->sizeHint().width(),
                 kTopMargin + 16 * g.rowHeight + frame);
}

void HexView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setFont(font());
    Geometry g = Measure();
    const QPalette& colors = palette();
    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    const QRect area = event->rect();
    const int rows = RowCount();
    const int firstRow = top + std::max(0, area.top() - kTopMargin) / g.rowHeight;
    const int lastRow =
        std::min(rows - 1, top + std::max(0, area.bottom() - kTopMargin) / g.rowHeight);
    const int size = static_cast<int>(data_.size());
    const int markBegin = highlightStart_;
    const int markEnd = highlightStart_ + highlightLength_;

    QString hex(2, QLatin1Char('0'));
    QString character(1, QLatin1Char('.'));
    for (int row = firstRow; row <= lastRow; ++row) {
        const int y = kTopMargin + (row - top) * g.rowHeight;
        const int baseline = y + g.ascent;
        const int rowStart = row * kBytesPerRow;
        const int rowEnd = std::min(rowStart + kBytesPerRow, size);

        // The marked part of the row as one band in each column.
        const int from = std::max(rowStart, markBegin);
        const int to = std::min(rowEnd, markEnd);
        if (highlightLength_ > 0 && from < to) {
            int first = from - rowStart;
            int last = to - 1 - rowStart;
            painter.fillRect(
                QRect(g.HexCellX(first) - left, y,
                      g.HexCellX(last) + g.HexCellWidth() - g.HexCellX(first), g.rowHeight),
                colors.highlight());
            painter.fillRect(
                QRect(g.AsciiCellX(first) - left, y, (last - first + 1) * g.charWidth, g.rowHeight),
                colors.highlight());
        }

        painter.setPen(colors.color(QPalette::PlaceholderText));
        QString offset = QString::number(rowStart, 16).toUpper();
        painter.drawText(g.offsetX - left, baseline,
                         QString(g.digits - offset.size(), QLatin1Char('0')) + offset);

        for (int i = rowStart; i < rowEnd; ++i) {
            const int column = i - rowStart;
            const auto byte = static_cast<unsigned char>(data_[i]);
            const bool marked = i >= markBegin && i < markEnd;
            painter.setPen(colors.color(marked ? QPalette::HighlightedText : QPalette::Text));
            hex[0] = QLatin1Char(kDigits[byte >> 4]);
            hex[1] = QLatin1Char(kDigits[byte & 15]);
            painter.drawText(g.HexCellX(column) + g.charWidth / 2 - left, baseline, hex);
            character[0] = byte >= 0x20 && byte < 0x7F ? QLatin1Char(char(byte)) : QLatin1Char('.');
            painter.drawText(g.AsciiCellX(column) - left, baseline, character);
        }
    }
}

void HexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void HexView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    event->accept();
    int offset = OffsetAt(event->position().toPoint());
    if (offset >= 0) emit byteClicked(offset);
}

void HexView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateScrollBars();
        updateGeometry();
        viewport()->update();
    }
}
