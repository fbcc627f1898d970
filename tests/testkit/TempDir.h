#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace walkmere::testkit {

// A fresh folder under the system's temporary folder, removed with everything in it
// when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return root; }
    std::filesystem::path file(const std::string& name) const { return root / name; }

private:
    std::filesystem::path root;
};

std::vector<unsigned char> readFileBytes(const std::filesystem::path& p);
void writeFileBytes(const std::filesystem::path& p, const std::vector<unsigned char>& bytes);

} // namespace walkmere::testkit
