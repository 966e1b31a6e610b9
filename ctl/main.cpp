// Process entry of qtor-ctl: an application object without widgets, then one command.
#include <QCoreApplication>
#include <iostream>

#include "ctl.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunCtl(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout, std::cerr);
}
