#include "records/data_files.h"

#include "records/kept_file.h"
#include "records/knowledge_file.h"
#include "records/pending_file.h"
#include "records/people_file.h"
#include "records/sent_log.h"
#include "records/status_file.h"

namespace records {

model::DataFiles dataFiles(const QString& programFolder, const QString& dataFolder) {
    const QString folder = dataFolder + QLatin1Char('/');
    return {sentLogPath(programFolder, dataFolder), folder + kPendingFileName,
            folder + kKeptFileName, folder + kKnowledgeFileName, folder + kStatusFileName,
            folder + kPeopleFileName};
}

} // namespace records
