#pragma once
#include <QApplication>

// The application object. Every event goes through notify, so this is where
// an exception escaping an event handler is caught: it ends the user action in
// progress, is shown in the error box, and the application goes on.
class QuorvisApplication : public QApplication {
    Q_OBJECT
public:
    QuorvisApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
