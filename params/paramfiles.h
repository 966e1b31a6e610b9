// Parameter and measurement files, and the record-to-file check box.
#pragma once

#include <string>

// Paths of the file dialogs. The measurement file is kept apart from the parameter file, so
// a parameter dialog used while recording does not redirect the recording.
struct FilePaths {
    std::string proj_dir;          // folder a dialog opens in when it has none of its own
    std::string file_name;         // last parameter file chosen
    std::string measurement_file;  // file the data-buffer mode records to
    // Folders last used, per kind of file; empty: proj_dir.
    std::string param_dir, measure_dir, record_dir, export_dir;
};
extern FilePaths files;

// The folder a dialog opens in: `remembered`, or proj_dir when there is none.
const std::string& DialogFolder(const std::string& remembered);
// The folder part and the last part of a path.
std::string FolderOf(const std::string& path);
std::string FileNameOf(const std::string& path);
// For a toggle that writes to a file it names: a save dialog in the folder `*folder` (which
// then remembers the one chosen). Empty, with the toggle off again, when none is chosen.
std::string ChooseFileForToggle(int panel, int control, std::string* folder,
                                const std::string& defaultName, const std::string& filter,
                                const std::string& title);
// "<text> <file name>", the name cut so that the status line holds it; shown at once.
std::string StatusWithName(const std::string& text, const std::string& path);
void ShowStatusWithName(const std::string& text, const std::string& path);

// Opens the parameter save dialog; true when a file was chosen (its path in file_name).
bool SelectParameterFileToSave();
// Writes the panel's parameter set to file_name.
void SendParaToFile();
// Runs the load dialog and loads the chosen file into the parameter set.
void ReadParaFromFile();
// Writes dummybuf to the measurement file; reports a failed write on the status line.
void WriteMeasurementFile();

int CC_CHECKFile(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
