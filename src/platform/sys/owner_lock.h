// Files that stand for a live writer: the writer holds an exclusive lock on the file for as long
// as it lives, so a file whose lock can be taken was left by a process that is gone (the system
// drops a process's locks when it ends, however it ends).
#pragma once

namespace sys {
namespace detail {

enum class Holder { gone, alive, missing };

/// Who holds the lock of the regular file `name` in the folder open as `dir_fd` (no link
/// followed): `alive` when another open file holds it, `gone` when it could be taken (the lock
/// is then held through `*fd`, which the caller closes), `missing` when there is no such file.
/// Anything else that stops the look (a file that cannot be opened, no lock on this file
/// system) counts as `alive`, so that nothing is removed on a guess.
Holder lock_holder(int dir_fd, const char* name, int* fd);

/// Takes the lock of a file this process has just made (its own open file `fd`), waiting while
/// another process's lock_holder holds it for its look. False when the file system has no locks.
bool hold_lock(int fd);

} // namespace detail
} // namespace sys
