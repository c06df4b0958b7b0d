// The memory a page may take: the browser's renderer processes are looked at while a run goes, and one whose
// private memory passes the limit is ended (its page crashes, its row fails with the reason said here, and
// the run goes on with a fresh page).
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <deque>
#include <optional>

class TPageMemoryWatch {
  public:
    explicit TPageMemoryWatch(qint64 limitMiB) : m_limitKiB(limitMiB * 1024) {}
    qint64 LimitMiB() const { return m_limitKiB / 1024; }

    // Ends every renderer of the browser process `browserPid` (a process below it started with
    // --type=renderer) whose private memory (RssAnon) is above the limit; returns how many it ended.
    int Check(qint64 browserPid);
    // The private memory of the browser and all its processes, and of this program, at the last Check.
    qint64 TreeMiB() const { return m_treeKiB / 1024; }
    // The private memory, in MiB, of a renderer that was ended within the last `withinMs`: each ended
    // renderer explains one failed row, the oldest first.
    std::optional<qint64> TakeEnded(qint64 withinMs);
    // Why such a row fails.
    QString Reason(qint64 usedMiB) const;

  private:
    qint64 m_limitKiB;
    qint64 m_treeKiB = 0;
    struct Ended {
        QElapsedTimer when;
        qint64 kib;
    };
    std::deque<Ended> m_ended;
};
