#pragma once

#include "model/command_context.h"

namespace records {

// The private files in the program's folders: the log beside the program where the user may
// write there (see sentLogPath), everything else in the data folder.
model::DataFiles dataFiles(const QString& programFolder, const QString& dataFolder);

} // namespace records
