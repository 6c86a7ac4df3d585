#pragma once

#include <QString>

namespace engine {

// Small file-system helpers for the folders several workstations share.

// The folder inside a database folder that holds the connections' own files and, where the
// program's folder cannot be written, the list of users.
QString controlFolderOf(const QString& databaseFolder);

// Makes a folder (a real one: an existing symbolic link is refused) with the permissions of
// `modelFolder`, so that whoever may write there may write here too. Returns whether this
// person can create files in it.
bool ensureSharedFolder(const QString& dir, const QString& modelFolder);

// Refuses (with engine::Error) a control folder, or a folder in it, that exists but is a symbolic
// link or not a folder at all: whatever is made there would land where the link points.
void refuseLinkedFolder(const QString& dir);

// Gives a file just made in a shared folder the access of that folder (read and write for the
// group when the folder is group-writable, and so on), whatever the creator's umask: the files of
// one workstation must stay usable, and removable once stale, by the others.
void shareLikeFolder(int fd, const QString& folder);

// Whether this person can create files in a folder. Probes with a new file of a name nobody
// else uses (never following a link, never opening an existing file), then removes it.
bool folderWritable(const QString& dir);

} // namespace engine
