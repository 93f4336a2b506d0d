#pragma once
#include <QSlider>

#include <functional>

// Position slider, range fixed at 0..1000 (thousandths of the file).
//
// Events come from the user only: OnMouseDown when the thumb or the groove is
// pressed (a groove press jumps the thumb to the pointer and goes on as a
// drag), OnValueChange while the user moves it, OnMouseUp on release. A key
// or wheel step is reported as a press, the change and a release, so a
// listener that seeks on release follows the keyboard too. setValue from code
// emits nothing.
class TNCTSliderB2 : public QSlider {
    Q_OBJECT
public:
    explicit TNCTSliderB2(QWidget *parent = nullptr);

    int Value() const { return value(); }
    // Hides QAbstractSlider::setValue so code that moves the thumb stays silent.
    void setValue(int Value);

signals:
    void OnMouseDown();
    void OnValueChange(int Value);
    void OnMouseUp();

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;

private:
    void stepAsPress(const std::function<void()> &step);

    bool silent_ = false;  // a value written by code is being applied
    bool pressed_ = false; // the left button went down on the slider
};
