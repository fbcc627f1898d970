#include "platform/SerialPort.h"

#include "testkit/PtyPair.h"
#include "testkit/TempDir.h"

#include <gtest/gtest.h>

#include <termios.h>

namespace walkmere {
namespace {

using Bytes = std::vector<uint8_t>;
using testkit::eventually;

TEST(SerialPortName, MapsComNamesToTtyS) {
    EXPECT_EQ(devicePathForPortName("COM1:"), "/dev/ttyS0");
    EXPECT_EQ(devicePathForPortName("COM3:"), "/dev/ttyS2");
    EXPECT_EQ(devicePathForPortName("com12:"), "/dev/ttyS11");
    EXPECT_EQ(devicePathForPortName("COM2"), "/dev/ttyS1");
    // Any name with a '/' is a path, relative or not.
    for (const char* path : {"/dev/ttyUSB0", "./board", "../pts/3", "dev/board", "COM1:/x"})
        EXPECT_EQ(devicePathForPortName(path), path);
    for (const char* bad : {"", "COM0:", "COM:", "COMx:", "LPT1:", "ttyUSB0", "COM1:x", "COM1234:"})
        EXPECT_EQ(devicePathForPortName(bad), std::nullopt) << bad;
}

TEST(SerialPort, ConfiguresARawLineAt38400WithoutFlowControl) {
    testkit::PtyPair pty;
    // Start from a cooked line with software flow control, as a fresh tty would be.
    termios cooked{};
    ASSERT_EQ(tcgetattr(pty.slave(), &cooked), 0);
    cooked.c_iflag |= IXON | IXOFF | ICRNL;
    cooked.c_lflag |= ICANON | ECHO;
    cooked.c_oflag |= OPOST;
    cooked.c_cflag |= PARENB;
    cfsetspeed(&cooked, B9600);
    ASSERT_EQ(tcsetattr(pty.slave(), TCSANOW, &cooked), 0);

    SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath()), SerialPort::OpenResult::Opened);
    termios t{};
    ASSERT_EQ(tcgetattr(pty.slave(), &t), 0);
    EXPECT_EQ(cfgetispeed(&t), speed_t(B38400));
    EXPECT_EQ(cfgetospeed(&t), speed_t(B38400));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);

    // The frame bytes 0x11 and 0x13 go through both ways untouched.
    Bytes frame = {0x11, 0x12, 0x0D, 0x0A, 0x13, 0x11, 0x13};
    ASSERT_TRUE(port.writeAll(frame.data(), frame.size()));
    EXPECT_EQ(pty.receive(frame.size()), frame);
    pty.send(frame);
    ASSERT_TRUE(eventually([&] { return port.bytesWaiting() == frame.size(); }));
    uint8_t in[16] = {};
    EXPECT_EQ(port.read(in, sizeof in), long(frame.size()));
    EXPECT_EQ(Bytes(in, in + frame.size()), frame);
    EXPECT_EQ(port.read(in, sizeof in), 0); // nothing more: no waiting
}

TEST(SerialPort, IsForOneUserAtATime) {
    testkit::PtyPair pty;
    SerialPort first, second;
    ASSERT_EQ(first.open(pty.slavePath()), SerialPort::OpenResult::Opened);
    EXPECT_EQ(second.open(pty.slavePath()), SerialPort::OpenResult::CannotOpen);
    EXPECT_FALSE(second.isOpen());
    first.close();
    EXPECT_EQ(second.open(pty.slavePath()), SerialPort::OpenResult::Opened);
}

TEST(SerialPort, RefusesMissingDevicesAndPlainFiles) {
    SerialPort port;
    EXPECT_EQ(port.open("/nonexistent/ttyS9"), SerialPort::OpenResult::CannotOpen);
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("plain"), {1});
    EXPECT_EQ(port.open(dir.file("plain").string()), SerialPort::OpenResult::CannotConfigure);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.bytesWaiting(), 0u);
    uint8_t b = 0;
    EXPECT_EQ(port.read(&b, 1), -1);
    EXPECT_FALSE(port.writeAll(&b, 1));
}

TEST(SerialPort, PollSeesInputTimeoutsAndHangUps) {
    testkit::PtyPair pty;
    SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath()), SerialPort::OpenResult::Opened);
    EXPECT_EQ(port.pollReadable(10), SerialPort::PollResult::TimedOut);
    pty.send({0x42});
    EXPECT_EQ(port.pollReadable(2000), SerialPort::PollResult::Readable);

    // Input not yet read is thrown away by a flush.
    port.flush();
    EXPECT_EQ(port.bytesWaiting(), 0u);
    EXPECT_EQ(port.pollReadable(10), SerialPort::PollResult::TimedOut);

    pty.closeMaster();
    EXPECT_EQ(port.pollReadable(2000), SerialPort::PollResult::HungUp);
    uint8_t b = 0;
    EXPECT_FALSE(port.writeAll(&b, 1));
}

} // namespace
} // namespace walkmere
