#include "graph_export.h"

#include <string>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "files.h"
#include "paramfiles.h"
#include "toolkit.h"

namespace {

// A file name from the graph's own name: "STRIP_RawA" gives "QTOR-RawA".
std::string DefaultName(int control, const char* extension) {
    for (const ControlEntry& c : kControlTable) {
        if (c.panel != PANEL || c.constant != control) continue;
        const std::string name = c.name;
        return "QTOR-" + name.substr(name.find('_') + 1) + extension;
    }
    return std::string("QTOR-graph") + extension;
}

}  // namespace

int CC_GraphMenu(int panel, int control, int event, void*, int, int) {
    const bool image = event == EVENT_SAVE_IMAGE;
    if (!image && event != EVENT_EXPORT_DATA) return 0;
    std::string path;
    if (FileSelectPopup(DialogFolder(files.export_dir),
                        DefaultName(control, image ? ".png" : ".csv"),
                        image ? "*.png;*.pdf" : "*.csv",
                        image ? "Q-TOR-Graph-Image" : "Q-TOR-Graph-Data", VAL_OK_BUTTON, &path) < 1)
        return 0;
    files.export_dir = FolderOf(path);
    const int rc = image ? SaveGraphImage(panel, control, path.c_str())
                         : ExportGraphData(panel, control, path.c_str());
    if (rc < 0)
        ShowStatusWithName(
            image ? "Image not saved, cannot write:" : "Data not exported, cannot write:", path);
    else
        ShowStatusWithName(image ? "Image saved to" : "Data exported to", path);
    return 0;
}

// Acquisition and recording go on; the strip charts keep their drawing for scrolling back.
int CC_TOGBTN_Pause(int panel, int control, int event, void*, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int paused = 0;
    GetCtrlVal(panel, control, &paused);
    for (int chart : {STRIP_RawA, STRIP_RawB})
        SetCtrlAttribute(panels.panelHandle, chart, ATTR_PAUSED, paused);
    return 0;
}
