#include "LeanEventLoop.h"

#include <QByteArray>
#include <QtGlobal>

std::unique_ptr<QCoreApplication> MakeLeanCoreApplication(int &argc, char **argv)
{
    static const char *const kVariable = "QT_NO_GLIB";
    const bool wasSet = qEnvironmentVariableIsSet(kVariable);
    const QByteArray previous = qgetenv(kVariable);
    qputenv(kVariable, "1");
    auto app = std::make_unique<QCoreApplication>(argc, argv);
    if (wasSet)
        qputenv(kVariable, previous);
    else
        qunsetenv(kVariable);
    return app;
}
