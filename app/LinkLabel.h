#pragma once
#include <QLabel>

// A label that acts as a link: hand cursor, red and underlined while the
// pointer is on it, blue without underline after the pointer has left, and a
// clicked signal on a left click released over it.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    // startColor is the colour before the pointer first enters.
    LinkLabel(const QString &text, const QColor &startColor, QWidget *parent);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void SetLook(const QColor &color, bool underline);
};
