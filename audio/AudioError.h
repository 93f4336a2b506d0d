#pragma once
#include <QString>
#include <stdexcept>

// The one exception type the components throw. The text is meant for the
// user: it names the file and the library's own reason.
class AudioError : public std::runtime_error {
public:
    explicit AudioError(const QString &message)
        : std::runtime_error(message.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};
