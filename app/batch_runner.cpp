#include "app/batch_runner.h"

#include "app/rights_check.h"
#include "core/jobs/job_line_parser.h"
#include "core/jobs/path_resolver.h"
#include "core/jobs/text_copy.h"
#include "core/production/list_file_runner.h"
#include "core/worker/isolated_performer.h"
#include "core/registration/result_log.h"
#include "core/registration/status_texts.h"
#include "resources/resource.h"

namespace {

const char RESULT_FORMAT[] = "状態 : %s\nファイル : %s";
const char RESULT_WITH_DETAIL_FORMAT[] = "状態 : %s\nファイル : %s\n詳細 : %s";
const char USAGE_TEXT[] =
    "使い方 : plinthora.exe [スイッチ] パス ...\n"
    "\n"
    "/u\t登録ではなく解除する\n"
    "/n\tDllRegisterServer / DllUnregisterServer を呼び出さない\n"
    "/i[:文字列]\tDllInstall も呼び出す (文字列はそのコマンドライン)\n"
    "/c\tこのユーザーのみに登録・解除する (管理者の権限は不要)\n"
    "/q\t登録せず、登録されているかを確かめる (/u では解除されているか)\n"
    "/s\t結果のメッセージを表示しない\n"
    "/d\tフォルダやワイルドカードでサブフォルダの中も探す\n"
    "/f[:ファイル]\tリストファイルの各行を処理する (既定は install.ini)\n"
    "/l[:ファイル]\t結果ログを書く (既定は log.txt)\n"
    "/v\t結果ログの失敗の行に詳細を加える\n"
    "/e\t成功しなかった数を終了コードにする (/q では答えが違った数)\n"
    "/x[:ファイル]\t登録せず、書き込まれる内容をファイルに書き出す (既定は capture.reg)\n"
    "\t.reg は登録ファイルに追記、.wxs は WiX ソース、.iss は Inno Setup の [Registry]\n"
    "\t.manifest は登録なしで使うためのマニフェスト (各クラスを作成して確かめる)\n"
    "\n"
    "パスにはワイルドカード (* ?)、フォルダ、<sysdir> <windir> <appdir> が使えます。\n"
    ".tlb と .olb のファイルはタイプライブラリとして登録・解除します。\n"
    "引数なしで起動するとウィンドウが開きます。";

const char CAPTURE_WITH_UNREGISTER[] = "/x と /u は同時に指定できません";
const char CAPTURE_WITH_CHECK[] = "/x と /q は同時に指定できません";

// What the items of one batch run share: its log, how the log reports failures, the count of
// what did not succeed, and the silent items waiting to be performed together.
struct BatchRun {
    IsolatedPerformer performer;
    ResultLog* log;
    BYTE logDetails;
    DWORD failures;
    ComponentItem* waiting[WORKER_GROUP_CAPACITY];
    LONG waitingCount;
};

void showResult(const ComponentItem* item, bool failed, bool detailed)
{
    char path[MAX_PATH];
    resolvedPath(item, path, sizeof path);
    // The format, the longest status text, a full path and a whole detail.
    char message[sizeof RESULT_WITH_DETAIL_FORMAT + 32 + MAX_PATH + DETAIL_TEXT_CAPACITY];
    if (detailed) wsprintfA(message, RESULT_WITH_DETAIL_FORMAT, item->status, path, item->detail);
    else wsprintfA(message, RESULT_FORMAT, item->status, path);
    MessageBoxA(nullptr, message, PROGRAM_NAME, MB_OK | (failed ? MB_ICONWARNING : MB_ICONINFORMATION));
}

void reportItem(BatchRun* run, ComponentItem* item)
{
    bool failed = !isExpectedResult(item);
    // A check's detail is its answer's reason, worth telling whatever the answer: the
    // differences it found, or the values of the moment it left out.
    bool explained = failed || (item->switches.check && item->detail[0] != '\0');
    if (failed) run->failures++;
    if (run->log != nullptr) run->log->writeItemLine(item, run->logDetails && explained);
    if (!item->silent) showResult(item, failed, explained && item->detail[0] != '\0');
    freeComponentItem(item);
}

void performWaitingItems(BatchRun* run)
{
    run->performer.performGroup(run->waiting, run->waitingCount);
    for (LONG index = 0; index < run->waitingCount; index++) reportItem(run, run->waiting[index]);
    run->waitingCount = 0;
}

// Silent items wait until a group is full, or until something else must be shown or written:
// with no box between them, they can be handed to the worker together.
void batchItemSink(ComponentItem* item, void* context)
{
    BatchRun* run = (BatchRun*)context;
    if (item->silent) {
        run->waiting[run->waitingCount++] = item;
        if (run->waitingCount == WORKER_GROUP_CAPACITY) performWaitingItems(run);
        return;
    }
    performWaitingItems(run);
    run->performer.perform(item);
    reportItem(run, item);
}

// A list file that cannot be run: a warning box unless silent, then an error line in the log.
void batchListError(const char* message, BYTE silent, void* context)
{
    BatchRun* run = (BatchRun*)context;
    performWaitingItems(run);
    run->failures++;
    if (!silent) MessageBoxA(nullptr, message, PROGRAM_NAME, MB_ICONWARNING);
    if (run->log != nullptr) run->log->writeErrorLine(message);
}

// The path given with value, resolved, or the name beside the program.
void chosenPath(const char* value, const char* defaultName, char* out)
{
    if (value[0] != '\0') resolve(value, out);
    else besideProgram(defaultName, out, MAX_PATH);
}

void reportCaptureFileError(BatchRun* run, const JobSpec* job, const char* path, const char* what)
{
    char message[MAX_PATH + 80];
    wsprintfA(message, "%s%s", path, what);
    batchListError(message, job->silent, run);
}

// With /x every item is performed into the registry file, whose path goes to path; a run that
// cannot capture performs nothing. True when the items may be run.
bool beginCapture(BatchRun* run, const JobSpec* job, RegistryCapture* capture, char* path)
{
    if (!job->capture) return true;
    chosenPath(job->capturePath, "capture.reg", path);
    if (job->switches.unregister || job->switches.check) {
        batchListError(job->switches.unregister ? CAPTURE_WITH_UNREGISTER : CAPTURE_WITH_CHECK, job->silent, run);
        return false;
    }
    if (capture->begin(path)) return true;
    reportCaptureFileError(run, job, path, captureBeginFailure(GetLastError()));
    return false;
}

// Capturing and checking write nothing to the registry, and a job line with /c or /q gives it
// to every item it yields, list files' lines included: none needs the right to write the
// machine's classes.
bool needsMachineRights(const JobSpec* job)
{
    return !job->capture && !job->switches.perUser && !job->switches.check;
}

}  // namespace

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

    RightsCheck rightsCheck;
    if (needsMachineRights(job) && !rightsCheck.passes()) {
        freeJobSpec(job);
        return 0;
    }

    ResultLog log;
    BatchRun run = {};
    if (job->writeLog) {
        char logPath[MAX_PATH];
        chosenPath(job->logPath, "log.txt", logPath);
        log.create(logPath);
        run.log = &log;
        run.logDetails = job->logDetails;
    }
    RegistryCapture capture = {};
    char capturePath[MAX_PATH];
    if (beginCapture(&run, job, &capture, capturePath)) {
        JobOutput output = {batchItemSink, batchListError, &run};
        run.performer.begin(nullptr, job->capture ? &capture : nullptr);
        runJob(job, &output);
        performWaitingItems(&run);
        run.performer.end();
        if (job->capture && !capture.end()) reportCaptureFileError(&run, job, capturePath, CAPTURE_WRITE_FAILED);
    }
    log.close();
    int exitCode = job->countFailures ? (int)run.failures : 0;
    freeJobSpec(job);
    return exitCode;
}

bool isUsageRequest(const char* argumentText)
{
    const char* text = argumentText;
    while (*text == ' ') text++;
    if ((text[0] != '/' && text[0] != '-') || text[1] != '?') return false;
    for (text += 2; *text == ' '; text++) {
    }
    return *text == '\0';
}

int showUsage()
{
    MessageBoxA(nullptr, USAGE_TEXT, PROGRAM_NAME, MB_OK | MB_ICONINFORMATION);
    return 0;
}
