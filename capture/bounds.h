// Every wait of a run in one place, in milliseconds: the defaults a user may change, how long the browser
// host waits for the browser, and the engine's waits for a page. Tests shorten them.
#pragma once

// The wait for a page to complete, and for late content after it completed, unless the user says otherwise.
constexpr int kDefaultPageTimeoutMs = 30000;
constexpr int kDefaultSettleMs = 2000;
// The private memory a page's renderer may take before it is ended, in MiB.
constexpr long long kDefaultPageMemoryMiB = 1024;

// How long a browser host waits for the browser's answers.
struct TPageBounds {
    // Opening a page; a browser that takes longer is suspected of no longer answering.
    int setupMs = 10000;
    // A fresh page's first document waits for the page to answer after taking the consent script; a page in
    // a renderer that was just killed may never answer, and the navigation goes on without the wait.
    int firstScriptWaitMs = 3000;
    // The first screenshot of a fresh page (the browser's drawing processes may still be starting), and
    // each of the two attempts on a page that has drawn before.
    int firstCaptureMs = 20000;
    int captureAttemptMs = 8000;
    // After the load event, the page's HTTP status and title; and any other short question to the page.
    int statusMs = 2000;
    // A navigation the browser is ready to show whose document has not been shown by then: the page's
    // previous document does not let go, and the row goes on in a fresh page.
    int commitMs = 3000;
    // A browser asked whether it still works before a faulted page is replaced.
    int browserCheckMs = 3000;
    // The pause before a fresh page that crashed while it was being set up is opened again (times the
    // number of that attempt).
    int reopenPauseMs = 200;
};

// The engine's waits for a page on top of the page bound.
struct TRunWaits {
    // How long a page that did not complete may keep its script running before its capture; then the
    // script is ended, and the page gets twice as long again.
    int answerMs = 2500;
    // The least extra time the first navigation of a fresh page gets until its document request goes out
    // (the page's processes start), and how often it is looked at meanwhile once its bound has passed.
    int freshPageGraceMs = 10000;
    int freshPageLookMs = 200;
    // The pause before a blank capture of a page that may still draw is taken again.
    int blankRetakeMs = 1500;
    // How long a loaded page waits for the consent rule library to refuse or hide a dialog it found.
    int consentHandleMs = 5000;
};

// Starting and ending Chromium: the launcher's report of the browser's process and of its exec, the wait
// for the exit status after the pipe closed, and the guardian's time to clear up before it is killed.
constexpr int kBrowserStartReportMs = 5000;
constexpr int kBrowserExecFailureReportMs = 1000;
constexpr int kBrowserExitStatusWaitMs = 1000;
constexpr int kGuardianCleanUpMs = 3000;
constexpr int kGuardianAfterTermMs = 2000;
constexpr int kGuardianAfterKillMs = 1000;
