#pragma once
#include <QWidget>

class QToolButton;

// Transport strip: play, pause and stop. A click reports the button's number
// (1 play, 2 pause, 3 stop) and changes nothing by itself; the owner shows the
// state it moved to with ShowPlaying / ShowPaused / ShowStopped.
class TNCTPlayButtonB2 : public QWidget {
    Q_OBJECT
public:
    enum class Look { Stopped, Playing, Paused };

    explicit TNCTPlayButtonB2(QWidget *parent = nullptr);

    Look look() const { return look_; }
    // Button number 1..3; nullptr for other numbers.
    QToolButton *button(int Button) const;

public slots:
    void ShowPlaying();
    void ShowPaused();
    void ShowStopped();

signals:
    void OnMouseClick(int Button);

private:
    void showLook(Look look);

    QToolButton *buttons_[3] = {};
    Look look_ = Look::Stopped;
};
