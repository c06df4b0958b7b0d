// The modes of bildoro-batch. Each returns the process exit status (0 only when everything succeeded).
#pragma once

#include "bounds.h"
#include "capture_options.h"
#include "run_comparison.h"
#include "thumbnail.h"

#include <QString>
#include <QStringList>
#include <cstdio>

struct BatchOptions {
    QString listFile;         // list file of the program's own format, or "-" for standard input
    QString outputFolder;     // joined as it stands with "/" + picture name + ".jpg"
    int captureWidth = 1024;  // from --resolution (1280x1024 captures 1280 x 990)
    int captureHeight = 768;
    QString widthText = QStringLiteral("320");  // thumbnail width, converted per row like the window does
    double timeoutSeconds = 30;
    bool keepBanners = false;   // --keep-banners: consent dialogs are left as they are
    bool allowFiles = false;    // --allow-files: file: rows are loaded
    int settleMs = 2000;        // --settle-ms: longest wait for late content after a page completed
    int jobs = 1;               // pages at once, unless autoJobs
    bool autoJobs = false;      // --jobs auto: the count follows the machine (AutoJobs, TPagesInFlight)
    qint64 memoryLimitMiB = 0;  // --memory-limit: what the browser's processes and the program may take
    int perHost = 0;            // --per-host: pages of one host at once, 0 without a limit
    qint64 pageMemoryMiB = kDefaultPageMemoryMiB;  // --page-memory: a renderer's memory, 0 without a limit
    QString reportFile;                            // --report: JSON Lines, one object per row as it ends
    bool resume = false;  // --resume: rows the report records as done (their pictures there) are skipped
    bool picturesMoved = false;  // --pictures-moved: with --resume, a done row is skipped without its picture
    int retries = 1;             // --retry: further attempts for a row that failed for a passing reason
    QString failedListFile;      // --failed-list: the failed rows, as a list file
    int shard = 1;               // --shard K/N: the rows i with i mod N == K - 1
    int shards = 1;
    ThumbnailFilter filter = ThumbnailFilter::Exact;  // --filter
    TCaptureOptions capture;  // when to shoot, who is asking, what to shoot, what to write
    QString compareFile;      // --compare: the report of an earlier run, to say which pages changed
    int changeDistance = kDefaultChangeDistance;  // --change-distance: hash bits beyond which a page changed
    int groupDistance = kDefaultGroupDistance;    // --group-distance: within which pages look alike
    QString htmlFile;                             // --html: the report page
};

// Exit statuses of bildoro-batch.
enum ExitStatus {
    kExitOk = 0,
    kExitRowsFailed = 1,
    kExitUsage = 2,
    kExitCannotStart = 3,
    kExitInterrupted = 130
};

// The most pages at once, and the range of --jobs auto: it starts at two pages per core and goes from one per
// core to eight (a page of the web waits on the network about three times as long as it works, so that four
// per core keep the cores busy there: bench/web_bench.py), no more than fit into `memoryLimitMiB` at
// TPagesInFlight::kFirstPageMiB each beside the browser's own, and from 1 to kMaxJobs.
inline constexpr int kMaxJobs = 32;
struct AutoJobsRange {
    int least = 1, first = 1, most = 1;
};
AutoJobsRange AutoJobs(int cores, qint64 memoryLimitMiB);
// The machine's memory (MemTotal), in MiB; 4096 when it cannot be read.
qint64 MachineMemoryMiB();

// bildoro-batch LIST -o FOLDER [...]: every row of the list becomes a thumbnail.
int RunBatch(const BatchOptions& options, FILE* out, FILE* err);

// bildoro-batch --dry-run LIST -o FOLDER: prints each row and the path it would write; starts no browser.
int RunDryRun(const QString& listFile, const QString& outputFolder, FILE* out, FILE* err, int shard = 1,
              int shards = 1);

// bildoro-batch --shrink WIDTH FILE...: reduces existing JPEG files in place with `filter`; with `dryRun`,
// only says for each file what would be done and changes nothing.
int RunShrink(const QString& widthText, const QStringList& files, ThumbnailFilter filter, bool dryRun,
              FILE* out, FILE* err);
