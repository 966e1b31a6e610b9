// Handles of a station's two loaded panels.
#pragma once

struct PanelHandles {
    int panelHandle = 0;  // main panel
    int panelPopUp = 0;   // parameter popup
};
