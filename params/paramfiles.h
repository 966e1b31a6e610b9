// Parameter and measurement files, and the dialogs that choose them.
#pragma once

#include <string>

#include "model.h"
#include "panels.h"
#include "sensor_link.h"

// Paths of the file dialogs. The measurement file is kept apart from the parameter file, so
// a parameter dialog used while recording does not redirect the recording.
struct FilePaths {
    std::string proj_dir;          // folder a dialog opens in when it has none of its own
    std::string file_name;         // last parameter file chosen
    std::string measurement_file;  // file the data-buffer mode records to
    // Folders last used, per kind of file; empty: proj_dir.
    std::string param_dir, measure_dir, record_dir, export_dir;

    // The folder a dialog opens in: `remembered`, or proj_dir when there is none.
    const std::string& DialogFolder(const std::string& remembered) const;
};

// The folder part and the last part of a path.
std::string FolderOf(const std::string& path);
std::string FileNameOf(const std::string& path);
// For a toggle that writes to a file it names: a save dialog in the folder `*folder` (which
// then remembers the one chosen). Empty, with the toggle off again, when none is chosen.
std::string ChooseFileForToggle(const FilePaths& files, int panel, int control, std::string* folder,
                                const std::string& defaultName, const std::string& filter,
                                const std::string& title);
// "<text> <file name>", the name cut so that the status line holds it.
std::string StatusWithName(const std::string& text, const std::string& path);

// Opens the parameter save dialog; true when a file was chosen (its path in file_name).
bool SelectParameterFileToSave(FilePaths& files);
// Writes the panel's parameter set to file_name and says on the status line whether it did.
void SendParaToFile(SensorLink& link, const PanelHandles& panels, ParameterSet& params,
                    const FilePaths& files);
// Runs the load dialog and loads the chosen file into the parameter set; szStatus tells how.
void ReadParaFromFile(SensorLink& link, FilePaths& files, ParameterSet& params);
// Writes dummybuf to the measurement file; reports a failed write on the status line.
void WriteMeasurementFile(const SensorLink& link, const FilePaths& files, const PlotArrays& plots);
