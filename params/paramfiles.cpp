#include "paramfiles.h"

#include "QtorKMBscope10.h"
#include "files.h"
#include "mapping.h"
#include "textfiles.h"
#include "toolkit.h"

namespace {

constexpr int kFieldWidth = 4;

}  // namespace

const std::string& FilePaths::DialogFolder(const std::string& remembered) const {
    return remembered.empty() ? proj_dir : remembered;
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

std::string ChooseFileForToggle(const FilePaths& files, int panel, int control, std::string* folder,
                                const std::string& defaultName, const std::string& filter,
                                const std::string& title) {
    std::string path;
    if (FileSelectPopup(files.DialogFolder(*folder), defaultName, filter, title, VAL_OK_BUTTON,
                        &path) < 1) {
        SetCtrlVal(panel, control, 0);
        return {};
    }
    *folder = FolderOf(path);
    return path;
}

bool SelectParameterFileToSave(FilePaths& files) {
    if (FileSelectPopup(files.DialogFolder(files.param_dir), "QTORpara.cfg", "*.cfg",
                        "Q-TOR-HPK-Series Parameter File", VAL_OK_BUTTON, &files.file_name) <= 0)
        return false;
    files.param_dir = FolderOf(files.file_name);
    return true;
}

void SendParaToFile(SensorLink& link, const PanelHandles& panels, ParameterSet& params,
                    const FilePaths& files) {
    GetPanelValues(panels, params);
    CopyVarsToPP(params, link.pp);
    std::uint32_t values[PNUM];
    for (int k = 0; k < PNUM; ++k) values[k] = link.pp[k];
    // Shown, not kept in szStatus: a later operation must not report this failure again.
    if (ArrayToFile(files.file_name, values, PNUM, kFieldWidth) < 0) {
        link.ShowStatus("Parameter file could not be written!");
    } else {
        link.ShowStatus(StatusWithName("Parameters saved to", files.file_name).c_str());
    }
}

void ReadParaFromFile(SensorLink& link, FilePaths& files, ParameterSet& params) {
    std::string path;
    // The get shows szStatus afterwards: it must tell this load's outcome, not an earlier one.
    if (FileSelectPopup(files.DialogFolder(files.param_dir), "QTORpara.cfg", "*.cfg",
                        "Q-TOR-HPK-Series-Parameter-File", VAL_LOAD_BUTTON, &path) <= 0) {
        link.SetStatus("No parameter file chosen - parameters kept");
        return;
    }
    files.file_name = path;
    files.param_dir = FolderOf(path);
    std::uint32_t values[PNUM] = {};
    const int read = FileToArray(path, values, PNUM);
    // Words the file does not supply keep their current values.
    CopyVarsToPP(params, link.pp);
    for (int k = 0; k < read && k < PNUM; ++k) link.pp[k] = static_cast<std::uint16_t>(values[k]);
    CopyPPtoVars(link.pp, params);
    if (read < 0) {
        link.SetStatus("Parameter file unreadable - parameters kept!");
    } else if (read < PNUM) {
        link.SetStatus("Parameter file incomplete - missing values kept!");
    } else {
        link.SetStatus(StatusWithName("Parameters loaded from", path).c_str());
    }
}

void WriteMeasurementFile(const SensorLink& link, const FilePaths& files, const PlotArrays& plots) {
    if (ArrayToFile(files.measurement_file, plots.dummybuf, MAXPOINT, kFieldWidth) < 0) {
        link.ShowStatus("Measurement file could not be written!");
    }
}
