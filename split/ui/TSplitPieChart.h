#pragma once
#include <QtCharts/QChartView>

class QPieSeries;

// The wizard's small pie chart: one equal slice per part, labelled 1..n, so it
// shows how many parts there will be, not how long they are. No legend, axes,
// title or frame; slices are never grouped into "Other".
class TSplitPieChart : public QChartView {
    Q_OBJECT
public:
    explicit TSplitPieChart(QWidget *parent = nullptr);

    QPieSeries *Series1;

    // Clears the series and adds min(count, MaxPieSlices) slices of value 1.0;
    // a count of 0 or less leaves the chart empty.
    void RefreshPieChart(int count);
    int SliceCount() const;
};
