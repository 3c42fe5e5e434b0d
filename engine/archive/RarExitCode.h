#pragma once

namespace zov {

// The exit codes of the archiver "rar" that the driver tells apart.
enum RarExitCode : int {
    kRarSuccess = 0,
    kRarWarning = 1,
    kRarFatalError = 2,
    kRarDamaged = 3,  // checksum wrong: a damaged archive, or an encrypted one read with a wrong password
    kRarLockedArchive = 4,
    kRarWriteError = 5,
    kRarOpenError = 6,
    kRarOptionError = 7,
    kRarOutOfMemory = 8,
    kRarCreateError = 9,
    kRarNoFilesMatched = 10,
    kRarWrongPassword = 11,
    kRarUserBreak = 255,
};

}  // namespace zov
