#pragma once
#include <QWidget>

#include <cstdint>

// Elapsed-time display: hours:minutes:seconds, green digits on black.
//
// The time is kept as four fields. Writing Milliseconds with a total t splits
// t into whole hours, remaining whole minutes, remaining whole seconds and the
// remaining milliseconds; writing Hours, Minutes or Seconds changes that field
// alone. Milliseconds reads back the total of the four fields.
class TNCTTimeDisplay2 : public QWidget {
    Q_OBJECT
public:
    explicit TNCTTimeDisplay2(QWidget *parent = nullptr);

    int Hours() const { return hours_; }
    void setHours(int Hours);
    int Minutes() const { return minutes_; }
    void setMinutes(int Minutes);
    int Seconds() const { return seconds_; }
    void setSeconds(int Seconds);
    int64_t Milliseconds() const;
    void setMilliseconds(int64_t Milliseconds); // negative totals show 0

    // What the face shows, e.g. "1:02:03".
    QString text() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    int hours_ = 0, minutes_ = 0, seconds_ = 0, millis_ = 0;
};
