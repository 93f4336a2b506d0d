#pragma once
#include <QDialog>

// Placeholder until the window is built: an empty modal dialog.
class TSplitForm : public QDialog {
    Q_OBJECT
public:
    explicit TSplitForm(QWidget *owner);
    ~TSplitForm() override;
};

// The application's one reference to this window class; the window empties it
// when it is destroyed.
extern TSplitForm *SplitForm;
