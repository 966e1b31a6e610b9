// Reads one panel out of the panel file and checks it before the toolkit takes it over.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "toolkit_internal.h"

namespace qtor {

// Builds panel `panelId` of the Qt Designer document at `path` as a new top-level window
// (a child window of `parent` if given). On failure returns null with the reason in `error`;
// on success `warnings` receives what the loader complained about, one line each.
std::unique_ptr<Panel> LoadPanelFromFile(const QString& path, int panelId, QWidget* parent,
                                         QString* error, QStringList* warnings);

}  // namespace qtor
