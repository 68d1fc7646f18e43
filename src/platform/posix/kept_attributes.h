// What makes a database the same file to everyone who uses it, beyond its bytes: its owner and
// group, its mode with the special bits, and its extended attributes, POSIX ACLs
// (system.posix_acl_access) among them. A service that owns its database goes on writing it
// only if the compacted copy has all of them, so the copy is given them before it takes any
// name, and a copy that cannot be given one is not published at all.
//
// A database under more than one name cannot be replaced by one copy: the copy would take one
// name while the old file kept the others (a symbolic link's target, a second hard link), so
// such a database is refused before it is read.
#pragma once

#include <string>

namespace vintrel {

// Raises RaisedError when `path` is a symbolic link or a file of more than one hard link. A
// path that names nothing passes, for the engine to report as not found.
void RequireSingleName(const std::string& path);

// Gives the copy open at `copy` the owner, group, mode and every extended attribute the
// process may read of the database open at `database`, and takes from it any attribute the
// database does not have. Raises RaisedError naming `path`, the database, and what could not be
// kept; the copy is then in no state to publish.
void GiveAttributesOf(int database, int copy, const std::string& path);

}  // namespace vintrel
