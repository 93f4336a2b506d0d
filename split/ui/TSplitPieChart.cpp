#include "split/ui/TSplitPieChart.h"

#include "split/SplitPlan.h"

#include <QtCharts/QChart>
#include <QtCharts/QPieSeries>
#include <QtCharts/QPieSlice>

// Given its chart from the start: a view made without one makes its own, which
// setChart() would give up without deleting.
TSplitPieChart::TSplitPieChart(QWidget *parent) : QChartView(new QChart, parent), Series1(new QPieSeries)
{
    setObjectName("Chart1");
    QChart *chart = this->chart();
    chart->legend()->hide();
    chart->setTitle(QString());
    chart->setBackgroundVisible(false);
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    chart->addSeries(Series1);
    Series1->setObjectName("Series1");
    Series1->setPieSize(0.9);
    setFrameShape(QFrame::NoFrame);
    setRenderHint(QPainter::Antialiasing);
    setInteractive(false);
}

void TSplitPieChart::RefreshPieChart(int count)
{
    Series1->clear();
    const int slices = std::min(count, MaxPieSlices);
    for (int i = 1; i <= slices; ++i) {
        QPieSlice *slice = Series1->append(QString::number(i), 1.0);
        slice->setLabelVisible(false);
    }
}

int TSplitPieChart::SliceCount() const
{
    return Series1->count();
}
