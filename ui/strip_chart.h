// A small strip chart for the status bar: a few series of recent samples
// drawn as lines, the newest at the right, scaled to the largest value held.
// Tested by ui/widgets_test.cpp.
#pragma once

#include <QColor>
#include <QVector>
#include <QWidget>

class StripChart : public QWidget {
    Q_OBJECT

  public:
    // At least one series and two samples.
    explicit StripChart(int series = 2, int capacity = 60, QWidget* parent = nullptr);

    void SetSeriesColor(int series, const QColor& color);
    // One value per series: missing values count 0, extra ones are ignored,
    // values that are not finite count 0. The oldest sample drops out when
    // the chart is full.
    void AddSamples(const QVector<double>& values);
    void Clear();
    int SampleCount() const { return count_; }
    // The samples of one series, oldest first (empty for a bad series).
    QVector<double> Series(int series) const;
    // The largest value held, at least 1: the top of the chart.
    double Maximum() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int capacity_;
    int count_ = 0;
    int first_ = 0;                    // ring position of the oldest sample
    QVector<QVector<double>> values_;  // per series, capacity_ slots each
    QVector<QColor> colors_;
};
