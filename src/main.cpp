#include "util/Logger.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvelle"));
    QApplication::setOrganizationName(QStringLiteral("Norvelle"));

    QWidget window;
    window.setObjectName(QStringLiteral("mainWindow"));
    window.setWindowTitle(QStringLiteral("Norvelle"));
    window.resize(860, 500);
    window.show();

    norvelle::Logger::info(QStringLiteral("Norvelle started"));
    return app.exec();
}
