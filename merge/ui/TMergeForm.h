#pragma once
#include <QDialog>

// Placeholder until the window is built: an empty modal dialog.
class TMergeForm : public QDialog {
    Q_OBJECT
public:
    explicit TMergeForm(QWidget *owner);
    ~TMergeForm() override;
};

// The application's one reference to this window class; the window empties it
// when it is destroyed.
extern TMergeForm *MergeForm;
