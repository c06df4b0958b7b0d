// The browser's private profile folders: the owner marker each carries, and removing those whose owners are
// gone (left by a program or guardian that was killed outright).
#pragma once

#include <sys/types.h>
#include <QString>
#include <QStringList>

// Name of the owner marker inside a profile folder: one line "<pid> <start time>" per process that keeps the
// folder in use (the program that made it, then its guardian). The start time (clock ticks after boot, as
// /proc/<pid>/stat gives it) keeps a reused process id from passing for the owner.
inline constexpr char kProfileOwnerFile[] = "owner";

// Adds the running process `pid` to the owner marker of `folder`. The marker is replaced in one rename, so a
// sweep never reads half of it. False when the process is gone or the marker cannot be written; *reason
// (when given) then says why.
bool AddProfileOwner(const QString& folder, pid_t pid, QString* reason = nullptr);

// Removes the stale profile folders in `parent`: those whose name starts with `prefix`, that are real
// folders of this user (a symbolic link is never followed or removed), carry an owner marker, and none of
// whose owners still runs. A folder without a readable marker (not made by us, or still being made) stays.
// Runs under an exclusive lock on the file ".<prefix><uid>.lock" in `parent`, so two programs never sweep at
// once; when the lock cannot be had within a second, nothing is swept. Never throws; returns how many
// folders were removed.
int RemoveStaleProfileFolders(const QString& parent, const QString& prefix);

// Picks the folder in which to make a private folder whose deepest path reaches `bytesBelow` bytes beyond the
// chosen folder's own path: `preferred` when its path plus bytesBelow stays within `maxBytes`, else the first
// of `shortFolders` that fits and is a usable place for private folders: a real folder we may write in that
// is either ours and closed to others, or shared with the sticky bit (so nobody else may rename or remove
// what we make there). Empty when none is; *reason (when given) then says why each was refused. Paths count
// in the bytes of their local encoding.
QString ChooseProfileParent(const QString& preferred, const QStringList& shortFolders, qsizetype bytesBelow,
                            qsizetype maxBytes, QString* reason = nullptr);
