// Parameter and measurement files, and the record-to-file check box.
#pragma once

#include <string>

// Paths of the file dialogs. The measurement file is kept apart from the parameter file, so
// a parameter dialog used while recording does not redirect the recording.
struct FilePaths {
    std::string proj_dir;          // folder every dialog opens in
    std::string file_name;         // last parameter file chosen
    std::string measurement_file;  // file the data-buffer mode records to
};
extern FilePaths files;

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
