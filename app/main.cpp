// Process entry: the program's logic starts in WinMain.
#include "startup.h"

int main(int argc, char** argv) { return WinMain(argc, argv); }
