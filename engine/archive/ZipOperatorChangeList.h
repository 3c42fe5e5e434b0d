#pragma once

#include <functional>
#include <string>

#include "engine/files/ExcludedFolder.h"
#include "engine/filter/FilterSet.h"

// The change list of a differential archive: what of a source differs from its base, and a deletion marker
// for what of the base is gone from it. The markers are made in a folder of their own, never in the source.
namespace zov {

// Appends to listFile the full path of every file of the source (a folder, or one file) that differs from
// the same path under base (IsSameFile) and of every folder new since base, and makes a deletion marker
// below markers (at the path the entry has below source) for every entry of base gone from the source,
// listing it too. False when a line cannot be written or a marker cannot be made.
bool WriteChangeList(const std::string& source, const std::string& base, const std::string& markers,
                     const std::string& listFile);
// The same, listing only the entries the filter passes (FilterEntryPasses; a marker of a file when that
// file would pass, a folder's marker always), as the -x/-n masks of a full backup take them.
bool WriteChangeListFiltered(const std::string& source, const std::string& base, const FilterSet& filter,
                             const std::string& markers, const std::string& listFile);

// Receives the path of each entry to store; false when it cannot be listed.
using AppendPath = std::function<bool(const std::string&)>;

// The walk of the change lists, through filter unless null, the folder leftOut (below a source folder)
// left out unless null. A source that is a file is compared with base + its name. An entry of base gone
// from the source or of another kind there (IsDeletedSinceBase) gets its deletion marker (DeletionMarker.h)
// in the folder mirroring its own below markers (made 0700 as needed). Markers in the source (left by an
// older run) stand for nothing and are neither listed nor touched; markers in base are no entries of it.
// False with failure set when append fails or a deletion cannot be recorded (the text names the entry).
bool WalkChanges(const std::string& source, const std::string& base, const std::string& markers,
                 const FilterSet* filter, const ExcludedFolder* leftOut, const AppendPath& append,
                 std::string& failure);

}  // namespace zov
