#include "qt_core_test_main.h"

int main(int argc, char** argv) { return RunQtCoreTests(argc, argv); }
