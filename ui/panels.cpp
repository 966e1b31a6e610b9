#include "panels.h"

PanelHandles panels;
