#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace walkmere {

// A new file with a unique name, made with mkstemp so that it can never take over a file
// that already exists. It is removed when the object goes away unless it was committed
// (renamed onto its final name, which replaces that file in one step).
class TempFile {
public:
    TempFile() = default;
    ~TempFile();
    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&& other) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Makes "<near>.<tag>.XXXXXX" beside the file `near`; if that folder cannot take it,
    // "walkmere-<tag>.XXXXXX" in $TMPDIR (or /tmp). Returns 0 or the errno of the failure.
    // A folder that takes the file may still have no room for its content: a writer that
    // fails there moves on with createInTemporaryFolder.
    int createNear(const std::string& near, const std::string& tag);
    // Makes "<near>.<tag>.XXXXXX" beside `near` only: for files that are renamed onto
    // `near` afterwards, which must live in the same folder.
    int createBeside(const std::string& near, const std::string& tag);
    // Makes "walkmere-<tag>.XXXXXX" in $TMPDIR (or /tmp), replacing (and removing) the file
    // this object had: where a file goes when the folder beside cannot hold its content.
    int createInTemporaryFolder(const std::string& tag);
    bool inTemporaryFolder() const { return temporaryFolder; }

    bool valid() const { return fd >= 0 || !name.empty(); }
    const std::string& path() const { return name; }
    int descriptor() const { return fd; }

    // Closes the descriptor (the file stays). Returns 0 or errno.
    int closeDescriptor();
    // Flushes the data to the disk and closes the descriptor. Returns 0 or errno.
    int finish();
    // finish(), gives the file the permissions of the file it replaces (or `newFileMode`,
    // by default those a newly created file would have) and renames it to `target`.
    // Without replaceExisting an existing target is left alone and EEXIST returned.
    // Returns 0 or errno; on failure the temporary file is still removed later.
    int commitAs(const std::string& target, bool replaceExisting = true,
                 std::optional<mode_t> newFileMode = std::nullopt);
    // Removes the file now.
    void remove();

private:
    int createWithPattern(std::string pattern);

    std::string name;
    int fd = -1;
    bool temporaryFolder = false;
};

} // namespace walkmere
