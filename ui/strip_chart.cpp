// A small strip chart of recent samples, newest at the right. Tested by
// ui/widgets_test.cpp.
#include "ui/strip_chart.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

const QColor kDefaultColors[] = {QColor(0x2e, 0x8b, 0x3a), QColor(0x1f, 0x5f, 0xbf),
                                 QColor(0xc0, 0x6a, 0x10), QColor(0x8a, 0x3f, 0xa8)};

}  // namespace

StripChart::StripChart(int series, int capacity, QWidget* parent)
    : QWidget(parent), capacity_(std::max(capacity, 2)) {
    series = std::max(series, 1);
    values_.resize(series);
    for (QVector<double>& v : values_) v.resize(capacity_);
    for (int s = 0; s < series; ++s) colors_.append(kDefaultColors[s % 4]);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StripChart::SetSeriesColor(int series, const QColor& color) {
    if (series < 0 || series >= colors_.size()) return;
    colors_[series] = color;
    update();
}

void StripChart::AddSamples(const QVector<double>& values) {
    int slot;
    if (count_ < capacity_) {
        slot = (first_ + count_++) % capacity_;
    } else {
        slot = first_;
        first_ = (first_ + 1) % capacity_;
    }
    for (int s = 0; s < values_.size(); ++s) {
        double v = s < values.size() ? values[s] : 0.0;
        values_[s][slot] = std::isfinite(v) ? v : 0.0;
    }
    update();
}

void StripChart::Clear() {
    count_ = 0;
    first_ = 0;
    update();
}

QVector<double> StripChart::Series(int series) const {
    QVector<double> out;
    if (series < 0 || series >= values_.size()) return out;
    for (int k = 0; k < count_; ++k) out.append(values_[series][(first_ + k) % capacity_]);
    return out;
}

double StripChart::Maximum() const {
    double top = 1.0;
    for (const QVector<double>& v : values_) {
        for (int k = 0; k < count_; ++k) top = std::max(top, v[(first_ + k) % capacity_]);
    }
    return top;
}

QSize StripChart::sizeHint() const {
    return QSize(90, 18);
}

QSize StripChart::minimumSizeHint() const {
    return QSize(30, 12);
}

void StripChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(box);
    if (count_ == 0) return;

    // One step per slot, so that the line moves left as samples come in.
    QRectF plot = box.adjusted(1.5, 2, -1.5, -2);
    double step = plot.width() / (capacity_ - 1);
    double top = Maximum();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setClipRect(box);
    for (int s = 0; s < values_.size(); ++s) {
        QPolygonF line;
        for (int k = 0; k < count_; ++k) {
            double v = std::clamp(values_[s][(first_ + k) % capacity_] / top, 0.0, 1.0);
            double x = plot.right() - (count_ - 1 - k) * step;
            line.append(QPointF(x, plot.bottom() - v * plot.height()));
        }
        p.setPen(QPen(colors_[s], 1.3));
        if (line.size() == 1) {
            p.drawPoint(line.first());
        } else {
            p.drawPolyline(line);
        }
    }
}
