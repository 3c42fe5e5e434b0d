#pragma once

#include <map>
#include <string>

namespace zov::rar {

class VolumeInput;

// What the end of a byte stream says about it, read before libarchive is let loose on it.
enum class StreamKind {
    Zip,         // end record and central directory in place
    NotArchive,  // neither a ZIP start nor a ZIP end
    Cut,         // starts like a ZIP but its end record is missing: truncated, or later volumes missing
    Damaged,     // end record present but the central directory does not fit
};

struct ZipDirectory {
    StreamKind kind = StreamKind::NotArchive;
    std::string error;  // read error of the volumes, when kind is Damaged because of it
    // Entry names holding '\' but no '/', keyed by the name libarchive reports for them ('\' turned into
    // '/').
    std::map<std::string, std::string> backslashNames;
};

ZipDirectory ReadZipDirectory(VolumeInput& input);

}  // namespace zov::rar
