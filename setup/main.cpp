// Program entry of the setup tool.
#include "setup/SetZoApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    Q_INIT_RESOURCE(Zoset);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zoset"));
    CSetZoApp tool;
    return tool.InitInstance(CSetZoApp::RunningProgramPath());
}
