#include "app/batch_runner.h"

#include "core/jobs/job_line_parser.h"
#include "core/jobs/path_resolver.h"
#include "core/production/list_file_runner.h"
#include "core/registration/isolated_performer.h"
#include "core/registration/result_log.h"
#include "core/registration/status_texts.h"
#include "resources/resource.h"

namespace {

// Performs the run's items; the batch run has one at a time.
IsolatedPerformer performer;

const char RESULT_FORMAT[] = "状態 : %s\nファイル : %s";

void showResult(const ComponentItem* item)
{
    char path[MAX_PATH];
    resolvedPath(item, path, sizeof path);
    // The format, the longest status text and a full path.
    char message[320];
    wsprintfA(message, RESULT_FORMAT, item->status, path);
    UINT icon = isSuccessStatus(item->status) ? MB_ICONINFORMATION : MB_ICONWARNING;
    MessageBoxA(nullptr, message, PROGRAM_NAME, MB_OK | icon);
}

// A list file that cannot be run: a warning box unless silent, then an error line in the log.
void batchListError(const char* message, BYTE silent, void* sinkContext)
{
    if (!silent) MessageBoxA(nullptr, message, PROGRAM_NAME, MB_ICONWARNING);
    if (sinkContext != nullptr) ((ResultLog*)sinkContext)->writeErrorLine(message);
}

}  // namespace

void batchItemSink(ComponentItem* item, void* sinkContext)
{
    performer.perform(item);
    if (sinkContext != nullptr) ((ResultLog*)sinkContext)->writeItemLine(item);
    if (!item->silent) showResult(item);
    freeComponentItem(item);
}

int runBatch(const char* argumentText)
{
    // A job that could not be read whole is not run at all: it would perform only some of
    // the paths it names.
    JobSpec* job = newJobSpec();
    if (job == nullptr) return 0;
    if (!parseJobLine(job, argumentText, nullptr)) {
        freeJobSpec(job);
        return 0;
    }

    ResultLog log;
    ResultLog* sinkLog = nullptr;
    if (job->writeLog) {
        char logPath[MAX_PATH];
        if (job->logPath[0] != '\0') resolve(job->logPath, logPath);
        else appDirPath("log.txt", logPath, sizeof logPath);
        log.create(logPath);
        sinkLog = &log;
    }
    JobOutput output = {batchItemSink, batchListError, sinkLog};
    performer.begin(nullptr);
    runJob(job, &output);
    performer.end();
    log.close();
    freeJobSpec(job);
    return 0;
}
