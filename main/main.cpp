// The telephone directory: finds its tables and its help beside itself.

#include "StartUp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    phonebook::PrepareApplication(app);
    const auto mainWindow = phonebook::StartUp(phonebook::ProgramPaths::BesideProgram());
    return phonebook::RunEventLoop(*mainWindow);
}
