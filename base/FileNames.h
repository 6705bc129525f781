// Finding the program's own files whatever the letter case of their names.
//
// Tables, templates, DEVPROG.REP and the side files are often copied from a Windows machine,
// where "TORV2DEV.DBF", "Sourse" and "devprog.rep" all name the same file. Here the names are
// looked up so: an existing entry is found in any letter case (the exact spelling first, then the
// first by name order), and a new file is created with the name as the program spells it.
#pragma once

#include <QString>

namespace torv {

enum class EntryKind { File, Directory };

// The path of `name` inside `directory`: the existing entry of that kind whose name equals `name`
// ignoring letter case, else directory + name as given. `exists` (may be null) says which.
// `directory` may end in a separator or not; the result has exactly one between the two.
QString FindNoCase(const QString &directory, const QString &name, EntryKind kind = EntryKind::File,
                   bool *exists = nullptr);

// True when `path` names an existing file, the last part of the path matched in any letter case.
bool FileExistsNoCase(const QString &path);
// The existing file that `path` names in any letter case of its last part, else `path` itself.
QString ExistingFileNoCase(const QString &path);

}  // namespace torv
