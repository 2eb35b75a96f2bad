#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace norvelle {

// What to run: an absolute program path and its arguments, handed over as an argument list
// (never through a shell), with the environment the child gets.
struct ProcessRequest {
    QString program;
    QStringList arguments;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Above 0: the nice value the child takes before it runs the program.
    int niceness = 0;
};

} // namespace norvelle
