#pragma once
#include "split/WaveformPeaks.h"

#include <QWidget>
#include <cstdint>
#include <vector>

class WaveformSource;
class WaveformViewAxis;

// The whole source in a strip below the editor's view, with the stretch the
// view shows framed; a press or drag asks to centre the view there.
class TWaveformOverview : public QWidget {
    Q_OBJECT
public:
    TWaveformOverview(const WaveformSource &source, const WaveformViewAxis &axis, QWidget *parent = nullptr);

signals:
    void CentreRequested(double frame);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    double framesPerPixel() const;

    const WaveformSource &source_;
    const WaveformViewAxis &axis_;
    std::vector<PeakRange> columns_;
};
