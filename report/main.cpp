// Process entry of qtor-report: a GUI application object for fonts and painting, no window.
#include <QGuiApplication>
#include <iostream>

#include "report_command.h"

int main(int argc, char** argv) {
    // A report needs no screen: without a platform asked for, it runs on a server too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return RunReport(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
