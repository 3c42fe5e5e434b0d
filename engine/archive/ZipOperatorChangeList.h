#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/files/ExcludedFolder.h"
#include "engine/filter/FilterSet.h"

// The change list of a differential archive: the files of a source tree that differ from the same path
// under its base, and deletion markers in the source for the files of the base gone from it.
namespace zov {

// Appends to listFile the full path of every file of the source tree that differs from the same path
// under base (MD5), and creates a deletion marker in the source for every file of base that is gone from
// it. False when a line cannot be written.
bool WriteChangeList(const std::string& source, const std::string& base, const std::string& listFile);
// The same, listing only the files the filter passes (FilterEntryPasses), as the -x/-n masks of a full
// backup take them (markers are made without it).
bool WriteChangeListFiltered(const std::string& source, const std::string& base, const FilterSet& filter,
                             const std::string& listFile);

// Receives the path of each changed file; false when it cannot be listed.
using AppendPath = std::function<bool(const std::string&)>;

// The walk of the change lists: markers for base's files gone from source, then every changed file of
// source (through filter unless null, the folder leftOut left out unless null) to append. Empty markers
// in source that the walk did not make are stale (a run that did not end) and are deleted, never listed;
// markers in base are no files of it. The paths of the markers made are added to made unless null. False
// when append fails.
bool WalkChanges(std::string source, std::string base, const FilterSet* filter, const ExcludedFolder* leftOut,
                 const AppendPath& append, std::vector<std::string>* made);

// Deletes the markers a walk made that are still regular files (a link put in a marker's place stays).
void RemoveMarkers(const std::vector<std::string>& markers);

}  // namespace zov
