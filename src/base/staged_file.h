#pragma once
// An output written under a temporary name beside its final one and renamed
// into place once it is complete, so that the final name holds the earlier
// file or the whole new one, never a truncated one: a failed write, or a
// process killed in the middle, leaves the earlier file as it was (a killed
// process also leaves its temporary file, NAME.PID-XXXXXXXX.tmp).
//
// The temporary name carries the process id, a number counted in the
// process and random bits, so tasks writing into one folder, on one machine
// or several, never share one. It ends in ".tmp": no glob for the format's
// extension takes it for a result.
//
// What a rename must not replace is written in place, as before: a device
// or a pipe, a folder (whose open fails as it did), an existing file this
// process may not write (a read-only file stays refused; a rename would
// replace it) and a link, whose target may be anything (/dev/stdout leads
// through /proc to whatever the shell opened).

#include <filesystem>
#include <system_error>

namespace morvale {

struct StagedFile {
    std::filesystem::path final;    // where the file ends
    std::filesystem::path written;  // where it is written: a temporary name, or `final` itself
    bool staged() const { return written != final; }
};

// Chooses where the file for `final` is written; creates nothing.
StagedFile stageFile(const std::filesystem::path& final);

// Puts the complete file in place (nothing to do when written in place);
// on failure the temporary file is removed and the system's error returned.
// A temporary file its writer removed again (a file it found it did not
// need) removes the earlier file under the final name.
std::error_code commitStaged(const StagedFile& file);

// Removes the temporary file of a failed run; one written in place stays.
void discardStaged(const StagedFile& file);

}  // namespace morvale
