#include "paramfiles.h"

#include "QtorKMBscope10.h"
#include "commands.h"
#include "files.h"
#include "mapping.h"
#include "model.h"
#include "textfiles.h"
#include "toolkit.h"

FilePaths files;

namespace {

constexpr int kFieldWidth = 4;

}  // namespace

const std::string& DialogFolder(const std::string& remembered) {
    return remembered.empty() ? files.proj_dir : remembered;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StatusWithName(const std::string& text, const std::string& path) {
    std::string name = FileNameOf(path);
    const std::size_t room = kStatusSize - 2 - text.size();
    if (name.size() > room) {
        std::size_t cut = room - 3;
        // Not inside a character of more than one byte.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name = name.substr(0, cut) + "...";
    }
    return text + " " + name;
}

void ShowStatusWithName(const std::string& text, const std::string& path) {
    ShowStatus(StatusWithName(text, path).c_str());
}

std::string ChooseFileForToggle(int panel, int control, std::string* folder,
                                const std::string& defaultName, const std::string& filter,
                                const std::string& title) {
    std::string path;
    if (FileSelectPopup(DialogFolder(*folder), defaultName, filter, title, VAL_OK_BUTTON, &path) <
        1) {
        SetCtrlVal(panel, control, 0);
        return {};
    }
    *folder = FolderOf(path);
    return path;
}

bool SelectParameterFileToSave() {
    if (FileSelectPopup(DialogFolder(files.param_dir), "QTORpara.cfg", "*.cfg",
                        "Q-TOR-HPK-Series Parameter File", VAL_OK_BUTTON, &files.file_name) <= 0)
        return false;
    files.param_dir = FolderOf(files.file_name);
    return true;
}

void SendParaToFile() {
    GetPanelValues();
    CopyVarsToPP();
    std::uint32_t values[PNUM];
    for (int k = 0; k < PNUM; ++k) values[k] = line.pp[k];
    // Shown, not kept in szStatus: a later operation must not report this failure again.
    if (ArrayToFile(files.file_name, values, PNUM, kFieldWidth) < 0) {
        ShowStatus("Parameter file could not be written!");
    }
}

void ReadParaFromFile() {
    std::string path;
    // The get shows szStatus afterwards: it must tell this load's outcome, not an earlier one.
    if (FileSelectPopup(DialogFolder(files.param_dir), "QTORpara.cfg", "*.cfg",
                        "Q-TOR-HPK-Series-Parameter-File", VAL_LOAD_BUTTON, &path) <= 0) {
        SetStatus("No parameter file chosen - parameters kept");
        return;
    }
    files.file_name = path;
    files.param_dir = FolderOf(path);
    std::uint32_t values[PNUM] = {};
    const int read = FileToArray(path, values, PNUM);
    // Words the file does not supply keep their current values.
    CopyVarsToPP();
    for (int k = 0; k < read && k < PNUM; ++k) line.pp[k] = static_cast<std::uint16_t>(values[k]);
    CopyPPtoVars();
    if (read < 0) {
        SetStatus("Parameter file unreadable - parameters kept!");
    } else if (read < PNUM) {
        SetStatus("Parameter file incomplete - missing values kept!");
    } else {
        SetStatus(StatusWithName("Parameters loaded from", path).c_str());
    }
}

void WriteMeasurementFile() {
    if (ArrayToFile(files.measurement_file, plots.dummybuf, MAXPOINT, kFieldWidth) < 0) {
        ShowStatus("Measurement file could not be written!");
    }
}

int CC_CHECKFile(int panel, int control, int event, void*, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int checked = 0;
    GetCtrlVal(panel, control, &checked);
    if (checked != 1) return 0;
    const std::string path =
        ChooseFileForToggle(panel, control, &files.measure_dir, "QTORMeasure.dat", "*.dat",
                            "Q-TOR-Measurement-Data-File");
    if (path.empty()) return 0;
    files.measurement_file = path;
    WriteMeasurementFile();
    return 0;
}
