#include "app/batch_runner.h"

#include "core/jobs/job_line_parser.h"
#include "core/jobs/path_resolver.h"
#include "core/production/list_file_runner.h"
#include "core/registration/isolated_performer.h"
#include "core/registration/result_log.h"
#include "core/registration/status_texts.h"

namespace {

// Performs the run's items; the batch run has one at a time.
IsolatedPerformer performer;

const char CAPTION[] = "Plinthora";
const char RESULT_FORMAT[] = "状態 : %s\nファイル : %s";

void showResult(const ComponentItem* item)
{
    char path[MAX_PATH];
    resolvedPath(item, path, sizeof path);
    // The format, the longest status text and a full path.
    char message[320];
    wsprintfA(message, RESULT_FORMAT, item->status, path);
    UINT icon = isSuccessStatus(item->status) ? MB_ICONINFORMATION : MB_ICONWARNING;
    MessageBoxA(nullptr, message, CAPTION, MB_OK | icon);
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
    JobSpec* job = newJobSpec();
    if (job == nullptr) return 0;
    parseJobLine(job, argumentText, nullptr);

    ResultLog log;
    ResultLog* sinkLog = nullptr;
    if (job->writeLog) {
        char logPath[MAX_PATH];
        if (job->logPath[0] != '\0') resolve(job->logPath, logPath);
        else appDirPath("log.txt", logPath, sizeof logPath);
        log.create(logPath);
        sinkLog = &log;
    }
    performer.begin(nullptr);
    runJob(Batch, nullptr, job, batchItemSink, sinkLog);
    performer.end();
    log.close();
    freeJobSpec(job);
    return 0;
}
