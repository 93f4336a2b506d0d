#include "audio/ui/TNCTSliderB2.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

TNCTSliderB2::TNCTSliderB2(QWidget *parent) : QSlider(Qt::Horizontal, parent)
{
    setRange(0, 1000);
    setSingleStep(5);
    setPageStep(50);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QSlider::valueChanged, this, [this](int v) {
        if (!silent_)
            emit OnValueChange(v);
    });
}

void TNCTSliderB2::setValue(int Value)
{
    silent_ = true;
    QSlider::setValue(Value);
    silent_ = false;
}

void TNCTSliderB2::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton || pressed_) {
        QSlider::mousePressEvent(e);
        return;
    }
    pressed_ = true;
    emit OnMouseDown();
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    if (!handle.contains(e->position().toPoint())) {
        // Jump to the pointer instead of paging, then drag from there.
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
        const int span = groove.width() - handle.width();
        const int x = e->position().toPoint().x() - groove.x() - handle.width() / 2;
        QSlider::setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), x, span, opt.upsideDown));
    }
    QSlider::mousePressEvent(e);
}

void TNCTSliderB2::mouseReleaseEvent(QMouseEvent *e)
{
    QSlider::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        emit OnMouseUp();
    }
}

void TNCTSliderB2::keyPressEvent(QKeyEvent *e)
{
    stepAsPress([&] { QSlider::keyPressEvent(e); });
}

void TNCTSliderB2::wheelEvent(QWheelEvent *e)
{
    stepAsPress([&] { QSlider::wheelEvent(e); });
}

void TNCTSliderB2::stepAsPress(const std::function<void()> &step)
{
    if (pressed_) {
        step();
        return;
    }
    // actionTriggered comes before the value moves, so the press is reported
    // ahead of the change, and only for an action that was taken.
    bool announced = false;
    const auto conn = connect(this, &QSlider::actionTriggered, this, [this, &announced](int action) {
        if (action != SliderNoAction && !announced) {
            announced = true;
            emit OnMouseDown();
        }
    });
    step();
    disconnect(conn);
    if (announced)
        emit OnMouseUp();
}
