#pragma once
// File helpers shared by every part of the engine: whole-file reads, atomic writes, and readable
// sentences for file-system failures.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/error.hpp"

namespace lf::platform {

namespace fs = std::filesystem;

// Whether a file must survive a power cut once written. Files whose loss costs the user work or a
// full rebuild (the project file, the build manifest) are flushed to disk before they replace the
// old one; pages and pictures only need the rename.
enum class Durability { renameOnly, flushToDisk };

// A file-system failure turned into a sentence that names the file, e.g.
// "Couldn’t write “/a/b.html”: No space left on device".
class FileError : public Error {
public:
    FileError(const std::string& action, const fs::path& path, const std::error_code& code);
    FileError(const std::string& action, const fs::path& path, const std::string& reason);
    const fs::path& path() const { return path_; }
    // The system's reason alone ("No space left on device"), for messages that name the file their own way.
    const std::string& reason() const { return reason_; }

private:
    fs::path path_;
    std::string reason_;
};

// Writes bytes to a temporary file in the destination's folder and renames it over the destination,
// so a reader never sees a half-written file. Throws FileError.
void writeFileAtomically(const fs::path& destination, std::string_view bytes,
                         Durability durability = Durability::renameOnly);

// Copies a file through a temporary file beside the destination and a rename, so the destination
// is either its old self or a whole copy, even when the program is killed part-way. A link at the
// destination is replaced, never written through. Throws FileError ("Couldn’t copy" the source).
void copyFileAtomically(const fs::path& from, const fs::path& destination);

// True for the name of a temporary file left by writeFileAtomically or copyFileAtomically of a
// process that no longer runs (one killed part-way): it can be removed. A live process's
// temporary files, this one's included, are never matched.
bool isLeftoverTemporary(const std::string& name);

// Reads a whole file; nothing when it cannot be opened or read.
std::optional<std::string> readFileIfPossible(const fs::path& path);

// Reads a whole file; throws FileError when it cannot.
std::string readFile(const fs::path& path);

// Expands a leading "~" (alone or followed by "/") to the user's home folder.
fs::path expandTilde(const std::string& path);

// "." and ".." components removed lexically and any trailing separator dropped, so two spellings
// of one folder compare equal.
fs::path standardized(const fs::path& path);

}  // namespace lf::platform
