// How many pages load at once when the program chooses: more while the machine's cores have time to spare
// (the pages under way mostly wait on the network), fewer when the cores are saturated or the memory of the
// browser's processes nears its budget.
#pragma once

#include <QtGlobal>

class TPagesInFlight {
  public:
    // From `least` to `most` pages (1 <= least <= most); starts at `first` (clamped into that range).
    // `budgetMiB` bounds the private memory of the browser's processes and the program's own.
    TPagesInFlight(int least, int most, int first, qint64 budgetMiB);

    // What the machine looked like since the last sample.
    struct Sample {
        double idle = 0;           // share of the machine's CPU time left idle, 0 .. 1
        qint64 memoryMiB = 0;      // private memory of the browser's processes and the program's own
        int loading = 0;           // pages under way now
        bool rowsWaiting = false;  // rows wait for a page (there is something to raise the count for)
    };
    // The count after this sample: one more when the cores idle, the count is reached, rows wait and one
    // more page fits into the budget (more when the cores idle much: as many as would keep them kBusy busy
    // if each page took what the pages under way take now, at most kStep, each fitting the budget); one
    // fewer when the cores are saturated (not below `least`) or the memory is over the budget (not below 1,
    // and below the pages under way, so that they drain). The idle share is taken as the mean of this
    // sample and the one before, so that one burst of work (pages that happen to lay out at once) does not
    // move the count.
    int Next(const Sample& sample);
    int Count() const { return m_count; }
    // The least and the most the count was since it was made.
    int Fewest() const { return m_fewest; }
    int Highest() const { return m_highest; }

    // Above this share of idle time the cores have room for another page; below kSaturated they have
    // none. Between the two the count stays.
    static constexpr double kRoom = 0.15, kSaturated = 0.03, kBusy = 0.9;
    static constexpr int kStep = 4;
    // What a page is planned to cost when the most pages at once are chosen (the count itself goes by what
    // the pages under way take), and the browser's own share of the memory beside its pages.
    static constexpr qint64 kFirstPageMiB = 120, kBrowserMiB = 200;

  private:
    int m_least, m_most, m_count;
    qint64 m_budgetMiB;
    double m_lastIdle = -1;  // none yet
    int m_fewest, m_highest;
};

// The share of the machine's CPU time that was idle between two calls (/proc/stat); the first call
// answers for the time since the machine started.
class TMachineIdle {
  public:
    double Take();

  private:
    quint64 m_idle = 0, m_total = 0;
};
