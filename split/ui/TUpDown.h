#pragma once
#include <QWidget>

class QLineEdit;
class QToolButton;

// Up-down buttons beside an edit. The range limits only what the buttons
// reach; typed text is left alone (the wizard checks it when leaving the step).
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QLineEdit *associate, int min, int max, int position, int increment, QWidget *parent = nullptr);

    int Min, Max, Position, Increment;

    void StepUp() { Step(Increment); }
    void StepDown() { Step(-Increment); }

private:
    void Step(int delta);

    QLineEdit *associate_;
    QToolButton *up_;
    QToolButton *down_;
};
