#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace walkmere {

// The handheld kept its device list in the registry under HKEY_LOCAL_MACHINE: one key per
// loaded driver ("Drivers\Active\05"), each with the string values "PnpId" (what the
// hardware calls itself) and "Name" (the port to open, "COM3:"). The board's port is found
// by searching that list, so the program reads a registry of the same shape, read only.

inline constexpr long kRegistrySuccess = 0;
inline constexpr long kRegistryNotFound = 2;      // ERROR_FILE_NOT_FOUND
inline constexpr long kRegistryNoMoreItems = 259; // ERROR_NO_MORE_ITEMS

// An open key: its full path below HKEY_LOCAL_MACHINE, backslash-separated.
struct RegistryKey {
    std::string path;
};

class IRegistrySource {
public:
    virtual ~IRegistrySource() = default;
    // Opens the key at path ("Drivers\Active"); nothing when it does not exist.
    // Key and value names match without regard to case, as in the registry.
    virtual std::optional<RegistryKey> openKey(const std::string& path) const = 0;
    // Puts the name of the subkey at index (0, 1, ...) into name; kRegistryNoMoreItems
    // once index is past the last subkey.
    virtual long enumKey(const RegistryKey& key, uint32_t index, std::string& name) const = 0;
    // A string value of the key; nothing when absent.
    virtual std::optional<std::string> queryString(const RegistryKey& key,
                                                   const std::string& valueName) const = 0;
};

// A registry held in memory; the file and sysfs readers below fill one.
class MemoryRegistry final : public IRegistrySource {
public:
    // Creates the key and every key above it; subkeys enumerate in the order made.
    void addKey(const std::string& path);
    // Sets a string value, creating the key when needed.
    void setString(const std::string& path, const std::string& valueName, const std::string& value);
    bool hasKey(const std::string& path) const;

    std::optional<RegistryKey> openKey(const std::string& path) const override;
    long enumKey(const RegistryKey& key, uint32_t index, std::string& name) const override;
    std::optional<std::string> queryString(const RegistryKey& key,
                                           const std::string& valueName) const override;

private:
    struct Key {
        std::vector<std::string> children;         // names as first written
        std::map<std::string, std::string> values; // folded name -> value
    };
    const Key* find(const std::string& path) const;

    std::map<std::string, Key> keys; // folded path -> key; "" is HKEY_LOCAL_MACHINE itself
};

// Reads the registry editor's export format (first line "Windows Registry Editor Version
// 5.00" or "REGEDIT4"; "[HKEY_LOCAL_MACHINE\...]" sections; "Name"="text" string values
// with \\ and \" escapes). Keys of other hives and values of other types are skipped;
// lines starting with ';' are comments. On failure error says what is wrong and where.
bool loadRegistryFile(const std::filesystem::path& file, MemoryRegistry& into, std::string& error);
bool parseRegistryText(const std::string& text, MemoryRegistry& into, std::string& error);

// Adds a key "Drivers\Active\NN" for every USB serial adapter under <sysfsRoot>/class/tty,
// NN being the lowest two-digit numbers not yet taken, with PnpId = the adapter's
// manufacturer and product strings joined by a space and Name = its /dev path.
// Returns the number of keys added.
int addSysfsSerialKeys(MemoryRegistry& into, const std::filesystem::path& sysfsRoot = "/sys");

// The registry file to read: the --registry option when given, else the environment
// variable WALKMERE_REGISTRY when set and not empty, else none.
std::optional<std::string> registryFilePath(const std::optional<std::string>& optionValue);

// The program's registry: the file's keys first (when a file is given), then the keys of
// the USB serial adapters. When the file cannot be read, error says why and the
// registry holds the adapters' keys alone.
std::unique_ptr<MemoryRegistry> loadRegistry(const std::optional<std::string>& file,
                                             std::string& error,
                                             const std::filesystem::path& sysfsRoot = "/sys");

} // namespace walkmere
