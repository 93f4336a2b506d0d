#pragma once
#include <QIcon>
#include <QLabel>

class QLineEdit;

// Small pieces the split wizard's steps are built from.
namespace split_wizard {

// Control names become objectNames, so tests and style sheets find them.
template <typename W>
W *Named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit *ReadOnlyEdit(const char *name);

// A status panel of fixed width: a long path is shortened in its middle, so
// the file name at its end stays readable; text() keeps the whole path and
// the hint shows it.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override;
    bool event(QEvent *e) override;

private:
    QRect area() const;
    QString shown() const;
};

// "Set as split point": a marker standing on a time line, drawn here so the
// button needs no image file.
QIcon SplitPointIcon();

} // namespace split_wizard
