#include "platform/Registry.h"

#include "testkit/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using testkit::TempDir;

std::vector<std::string> subkeys(const IRegistrySource& r, const std::string& path) {
    std::vector<std::string> names;
    std::optional<RegistryKey> key = r.openKey(path);
    if (!key) return names;
    std::string name;
    for (uint32_t i = 0; r.enumKey(*key, i, name) == kRegistrySuccess; ++i)
        names.push_back(name);
    return names;
}

std::optional<std::string> value(const IRegistrySource& r, const std::string& path,
                                 const std::string& name) {
    std::optional<RegistryKey> key = r.openKey(path);
    return key ? r.queryString(*key, name) : std::nullopt;
}

TEST(RegistryFile, ReadsKeysAndStringValuesOfTheMachineHive) {
    MemoryRegistry r;
    std::string error;
    ASSERT_TRUE(parseRegistryText("Windows Registry Editor Version 5.00\r\n"
                                  "\r\n"
                                  "; the serial cards\r\n"
                                  "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\05]\r\n"
                                  "\"PnpId\"=\"Quatech \\\"SSP\\\" 100\"\r\n"
                                  "\"Name\" = \"C:\\\\ports\\\\com3\"\r\n"
                                  "\"Refcount\"=dword:00000001\r\n"
                                  "\"Blob\"=hex:01,02,03,\\\r\n"
                                  "  04,05\r\n"
                                  "@=\"default\"\r\n"
                                  "\r\n"
                                  "[HKEY_CURRENT_USER\\Drivers\\Active\\07]\r\n"
                                  "\"PnpId\"=\"Socket\"\r\n"
                                  "[-HKEY_LOCAL_MACHINE\\Drivers\\Active\\08]\r\n"
                                  "\"PnpId\"=\"Socket\"\r\n"
                                  "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\02]\r\n"
                                  "\"PnpId\"=\"Socket CF\"\r\n",
                                  r, error))
        << error;

    EXPECT_EQ(subkeys(r, "Drivers\\Active"), (std::vector<std::string>{"05", "02"}));
    EXPECT_EQ(subkeys(r, ""), std::vector<std::string>{"Drivers"});
    EXPECT_EQ(value(r, "Drivers\\Active\\05", "PnpId"), "Quatech \"SSP\" 100");
    EXPECT_EQ(value(r, "Drivers\\Active\\05", "Name"), "C:\\ports\\com3");
    EXPECT_EQ(value(r, "Drivers\\Active\\05", "Refcount"), std::nullopt);
    EXPECT_EQ(value(r, "Drivers\\Active\\05", "Blob"), std::nullopt);
    EXPECT_EQ(value(r, "Drivers\\Active\\02", "PnpId"), "Socket CF");
    EXPECT_FALSE(r.hasKey("Drivers\\Active\\07")); // another hive
    EXPECT_FALSE(r.hasKey("Drivers\\Active\\08")); // a deletion

    // Names match without regard to case; values keep theirs.
    EXPECT_EQ(value(r, "DRIVERS\\active\\05", "pnpid"), "Quatech \"SSP\" 100");

    // Enumeration ends with "no more items"; a missing key does not open.
    std::string name;
    EXPECT_EQ(r.enumKey(*r.openKey("Drivers\\Active"), 2, name), kRegistryNoMoreItems);
    EXPECT_FALSE(r.openKey("Drivers\\Active\\09"));
}

TEST(RegistryFile, AcceptsBothHeadersAndUtf16Exports) {
    MemoryRegistry r;
    std::string error;
    EXPECT_TRUE(parseRegistryText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=\"1\"\n", r, error));
    EXPECT_EQ(value(r, "A", "X"), "1");

    std::u16string wide = u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\B]\r\n"
                          u"\"PnpId\"=\"Quatech \u00e9\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : wide) {
        bytes += char(c & 0xFF);
        bytes += char(c >> 8);
    }
    MemoryRegistry w;
    ASSERT_TRUE(parseRegistryText(bytes, w, error)) << error;
    EXPECT_EQ(value(w, "B", "PnpId"), "Quatech \xC3\xA9");
}

TEST(RegistryFile, RefusesDamagedFilesWithTheLine) {
    struct Case {
        const char* text;
        const char* expected;
    };
    for (const Case& c : {
             Case{"", "not a registry file"},
             Case{"[HKEY_LOCAL_MACHINE\\A]\n", "not a registry file"},
             Case{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", "line 2"},
             Case{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"X=\"1\"\n", "line 3"},
             Case{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"\"1\"\n", "line 3"},
             Case{"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=\"1\n", "line 3"},
             Case{"REGEDIT4\n\njunk\n", "line 3"},
         }) {
        MemoryRegistry r;
        std::string error;
        EXPECT_FALSE(parseRegistryText(c.text, r, error)) << c.text;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }

    // Files that cannot be a registry export are refused at once, by name, without being
    // read: /dev/zero would fill the memory and a FIFO would hold the start-up.
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::vector<unsigned char> huge(17 * 1024 * 1024, ' ');
    testkit::writeFileBytes(dir.file("huge.reg"), huge);
    const std::vector<std::string> unusable = {"/nonexistent/walkmere.reg", "/dev/zero",
                                               dir.file("fifo").string(),
                                               dir.file("huge.reg").string()};
    for (const std::string& path : unusable) {
        MemoryRegistry r;
        std::string error;
        EXPECT_FALSE(loadRegistryFile(path, r, error));
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
}

// A small sysfs: two USB adapters, a built-in UART and a virtual console.
class FakeSysfs {
public:
    FakeSysfs() {
        usbAdapter("ttyUSB0", "usb1/1-2", "FTDI", "FT232R USB UART", true);
        usbAdapter("ttyACM0", "usb1/1-3", "", "Quatech SSP-100", false);
        fs::path uart = dir.path() / "devices/platform/serial8250/tty/ttyS0";
        fs::create_directories(uart);
        link("ttyS0", "devices/platform/serial8250");
        fs::create_directories(dir.path() / "class/tty/tty0"); // no device link at all
    }
    fs::path root() const { return dir.path(); }

private:
    void usbAdapter(const std::string& tty, const std::string& usbDevice,
                    const std::string& manufacturer, const std::string& product,
                    bool ownTtyFolder) {
        fs::path device = dir.path() / "devices/pci0000:00" / usbDevice;
        fs::create_directories(device);
        testkit::writeFileBytes(device / "idVendor", bytes("0403\n"));
        if (!manufacturer.empty())
            testkit::writeFileBytes(device / "manufacturer", bytes(manufacturer + "\n"));
        testkit::writeFileBytes(device / "product", bytes(product + "\n"));
        fs::path iface = device / (fs::path(usbDevice).filename().string() + ":1.0");
        fs::path target = ownTtyFolder ? iface / tty : iface;
        fs::create_directories(target);
        link(tty, fs::relative(target, dir.path()).string());
    }
    void link(const std::string& tty, const std::string& target) {
        fs::path classDir = dir.path() / "class/tty" / tty;
        fs::create_directories(classDir);
        fs::create_directory_symlink(dir.path() / target, classDir / "device");
    }
    static std::vector<unsigned char> bytes(const std::string& s) { return {s.begin(), s.end()}; }

    TempDir dir;
};

TEST(RegistrySysfs, MakesAKeyForEveryUsbSerialAdapter) {
    FakeSysfs sysfs;
    MemoryRegistry r;
    EXPECT_EQ(addSysfsSerialKeys(r, sysfs.root()), 2);
    EXPECT_EQ(subkeys(r, "Drivers\\Active"), (std::vector<std::string>{"00", "01"}));
    EXPECT_EQ(value(r, "Drivers\\Active\\00", "PnpId"), "Quatech SSP-100");
    EXPECT_EQ(value(r, "Drivers\\Active\\00", "Name"), "/dev/ttyACM0");
    EXPECT_EQ(value(r, "Drivers\\Active\\01", "PnpId"), "FTDI FT232R USB UART");
    EXPECT_EQ(value(r, "Drivers\\Active\\01", "Name"), "/dev/ttyUSB0");

    MemoryRegistry none;
    EXPECT_EQ(addSysfsSerialKeys(none, "/nonexistent/sys"), 0);
}

TEST(RegistrySysfs, CombinedRegistryKeepsTheFileKeysFirstAndUntouched) {
    FakeSysfs sysfs;
    TempDir dir;
    std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Drivers\\Active\\00]\n\"PnpId\"=\"Socket\"\n"
                       "\"Name\"=\"COM2:\"\n[HKEY_LOCAL_MACHINE\\Drivers\\Active\\02]\n";
    testkit::writeFileBytes(dir.file("board.reg"), {text.begin(), text.end()});

    std::string error;
    auto r = loadRegistry(dir.file("board.reg").string(), error, sysfs.root());
    ASSERT_TRUE(r);
    EXPECT_EQ(error, "");
    EXPECT_EQ(subkeys(*r, "Drivers\\Active"), (std::vector<std::string>{"00", "02", "01", "03"}));
    EXPECT_EQ(value(*r, "Drivers\\Active\\00", "Name"), "COM2:");
    EXPECT_EQ(value(*r, "Drivers\\Active\\01", "Name"), "/dev/ttyACM0");
    EXPECT_EQ(value(*r, "Drivers\\Active\\03", "Name"), "/dev/ttyUSB0");

    // A file that cannot be read is reported; the adapters are still there.
    auto fallback = loadRegistry(dir.file("missing.reg").string(), error, sysfs.root());
    EXPECT_NE(error, "");
    EXPECT_EQ(subkeys(*fallback, "Drivers\\Active").size(), 2u);
}

TEST(RegistryPath, OptionBeforeEnvironment) {
    unsetenv("WALKMERE_REGISTRY");
    EXPECT_EQ(registryFilePath(std::nullopt), std::nullopt);
    EXPECT_EQ(registryFilePath(std::string("/a.reg")), "/a.reg");
    setenv("WALKMERE_REGISTRY", "/env.reg", 1);
    EXPECT_EQ(registryFilePath(std::nullopt), "/env.reg");
    EXPECT_EQ(registryFilePath(std::string("/a.reg")), "/a.reg");
    setenv("WALKMERE_REGISTRY", "", 1);
    EXPECT_EQ(registryFilePath(std::nullopt), std::nullopt);
    unsetenv("WALKMERE_REGISTRY");
}

} // namespace
} // namespace walkmere
