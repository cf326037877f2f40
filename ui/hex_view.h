// A read-only hex view of a block of bytes: offsets, 16 bytes a row in two
// groups of eight, and their characters, with one highlighted range. Tested
// by ui/hex_view_test.cpp.
#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>

class HexView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    static constexpr int kBytesPerRow = 16;

    // Sizes come from the font's metrics; give it a fixed-pitch font with
    // setFont.
    explicit HexView(QWidget* parent = nullptr);

    // Shows bytes from the top and clears the highlight. The view keeps a
    // shared copy of the array.
    void SetData(const QByteArray& bytes);
    const QByteArray& Data() const { return data_; }

    // Highlights length bytes from start in both columns and scrolls them
    // into view. A range reaching past the data is cut at its end; a start
    // below 0 or past the data, or a length of 0 or less, clears it.
    void SetHighlight(int start, int length);
    // -1 and 0 when nothing is highlighted.
    int HighlightStart() const { return highlightStart_; }
    int HighlightLength() const { return highlightLength_; }

    // The byte under a point of the viewport in the hex or character column,
    // -1 elsewhere.
    int OffsetAt(const QPoint& viewportPos) const;
    // The cell of the byte at offset in viewport coordinates, in the
    // character column (ascii) or the hex one: what a highlight fills and
    // what OffsetAt finds. Empty for an offset outside the data.
    QRect ByteRect(int offset, bool ascii) const;
    // Hex digits of the offset column: 4 up to 64 KB, more for larger data.
    int OffsetDigits() const;

    QSize sizeHint() const override;

  signals:
    // A left click on a byte in either column.
    void byteClicked(int offset);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct Geometry;

    Geometry Measure() const;
    int RowCount() const;
    void UpdateScrollBars();
    void ScrollToHighlight();

    QByteArray data_;
    int highlightStart_ = -1;
    int highlightLength_ = 0;
};
