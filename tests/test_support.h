// Helpers shared by the tests: temporary folders and the private runtime folder.
#pragma once

#include <QList>
#include <QString>
#include <functional>

// Gives the process a private XDG_RUNTIME_DIR (mode 0700) so Qt never complains about a shared one.
void UsePrivateRuntimeDir();

// What a write must never go through or replace, made inside `folder` under names starting with `stem`:
// a FIFO, a socket and, when the process may make device nodes (root), a character device like /dev/null
// (c 1 3: harmless whatever happens to it). Each entry is the kind ("fifo", "socket", "device") and the path.
struct SpecialFile {
    QString kind;
    QString path;
};
QList<SpecialFile> MakeSpecialFiles(const QString& folder, const QString& stem, const QString& suffix = {});

// Writes `body` after a "#!/bin/sh" line to `path`, readable and writable by its owner and, unless said
// otherwise, executable; returns the path. Stand-ins for the programs the product starts.
QString WriteShellScript(const QString& path, const QByteArray& body, bool executable = true);

// True when `path` is still a special file of the kind MakeSpecialFiles made.
bool IsStillSpecial(const SpecialFile& file);

// Runs `body` in a child process whose files may grow to `limit` bytes at most (a full disk, without
// touching any device), and returns its result: 0-99 as `body` returns it, 100 + the signal when it was
// killed, 99 when it threw something that is no std::exception.
int InChildWithFileSizeLimit(unsigned long limit, const std::function<int()>& body);
