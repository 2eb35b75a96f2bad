#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace norvelle {

// Base of every error the system throws. description() is the user-facing text;
// what() carries the same text in UTF-8 for code that only knows std::exception.
class Error : public std::exception {
public:
    explicit Error(QString description);
    ~Error() override = default;

    QString description() const { return m_description; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// Thrown when an operation ends because its caller asked it to stop, or because
// the main event loop is gone and a hop to the main thread can no longer happen.
class CancelledError : public Error {
public:
    CancelledError() : Error(QStringLiteral("The operation was cancelled")) {}
};

// The description of any caught exception: Error's own text, else what().
QString describeException(const std::exception& e);
QString describeException(std::exception_ptr e);

} // namespace norvelle
