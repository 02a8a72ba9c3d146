// The texts that name serial ports, on a faked port list, the stable names
// found in a by-id folder of links, the advice on "Permission denied" and
// the text naming who holds a busy port.
#include "SerialPortDetails.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <unistd.h>

namespace {

SerialPortDetails QuectelAtPort()
{
    SerialPortDetails port;
    port.name = "ttyUSB2";
    port.location = "/dev/ttyUSB2";
    port.manufacturer = "Quectel";
    port.description = "EG25-G";
    port.serialNumber = "0123456";
    port.vendorId = 0x2c7c;
    port.productId = 0x0125;
    port.stableName = "/dev/serial/by-id/usb-Quectel_EG25-G_0123456-if02-port0";
    return port;
}

struct LabelCase {
    const char *what;
    SerialPortDetails port;
    std::string label;
    std::string choice;
};

std::vector<LabelCase> LabelCases()
{
    SerialPortDetails ftdi;
    ftdi.name = "ttyUSB0";
    ftdi.manufacturer = "FTDI";
    ftdi.description = "FTDI"; // udev names the maker twice for plain adapters
    ftdi.vendorId = 0x0403;
    ftdi.productId = 0x6001;
    SerialPortDetails builtIn;
    builtIn.name = "ttyS0";
    builtIn.location = "/dev/ttyS0";
    SerialPortDetails makerOnly;
    makerOnly.name = "ttyACM0";
    makerOnly.manufacturer = "Sierra Wireless";
    makerOnly.vendorId = 0x1199; // no product id: no USB pair is shown
    return {
        {"modem interface with a stable name", QuectelAtPort(),
         "ttyUSB2: EG25-G (Quectel), serial 0123456, USB 2c7c:0125, "
         "/dev/serial/by-id/usb-Quectel_EG25-G_0123456-if02-port0",
         "/dev/serial/by-id/usb-Quectel_EG25-G_0123456-if02-port0"},
        {"adapter whose description repeats the maker", ftdi, "ttyUSB0: FTDI, USB 0403:6001", "ttyUSB0"},
        {"built-in port the system knows nothing about", builtIn, "ttyS0", "ttyS0"},
        {"maker and vendor only", makerOnly, "ttyACM0: Sierra Wireless", "ttyACM0"},
        {"simulated modem", SimulatedPortDetails(), "SIM: built-in simulated modem", "SIM"},
    };
}

TEST(SerialPortDetailsTest, LabelAndChoiceOfEachPort)
{
    for (const LabelCase &c : LabelCases()) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(PortLabel(c.port), c.label);
        EXPECT_EQ(PortChoice(c.port), c.choice);
    }
}

class StablePortNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("dev/serial/by-id"));
        for (const char *device : {"dev/ttyUSB2", "dev/ttyUSB3"}) {
            QFile f(m_dir.filePath(device));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
    }
    void Link(const QString &target, const QString &name)
    {
        ASSERT_TRUE(QFile::link(target, Folder() + "/" + name));
    }
    QString Folder() const { return m_dir.filePath("dev/serial/by-id"); }
    std::string Device(const char *name) const { return QDir(m_dir.filePath(name)).canonicalPath().toStdString(); }

    QTemporaryDir m_dir;
};

TEST_F(StablePortNamesTest, MapsEachDeviceToItsFirstLink)
{
    // udev's links are relative, "../../ttyUSB2".
    Link("../../ttyUSB2", "usb-Quectel_EG25-G_0123456-if02-port0");
    Link("../../ttyUSB2", "usb-Quectel_EG25-G_0123456-if02-port0-z-second");
    Link(m_dir.filePath("dev/ttyUSB3"), "usb-Quectel_EG25-G_0123456-if03-port0");
    Link("../../ttyUSB9", "usb-unplugged-if00-port0"); // dangling: the device is gone
    QFile plain(Folder() + "/not-a-link");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));

    const auto names = StablePortNames(Folder().toStdString());
    const std::string folder = Folder().toStdString();
    ASSERT_EQ(names.size(), 2U);
    EXPECT_EQ(names.at(Device("dev/ttyUSB2")), folder + "/usb-Quectel_EG25-G_0123456-if02-port0");
    EXPECT_EQ(names.at(Device("dev/ttyUSB3")), folder + "/usb-Quectel_EG25-G_0123456-if03-port0");
}

TEST_F(StablePortNamesTest, MissingFolderGivesNone)
{
    EXPECT_TRUE(StablePortNames(m_dir.filePath("no/such/folder").toStdString()).empty());
}

TEST(PermissionDeniedTest, NamesTheGroupToJoin)
{
    EXPECT_EQ(PermissionDeniedHint("/dev/ttyUSB2", "dialout"),
              "/dev/ttyUSB2 belongs to the group dialout: add your user to the group dialout "
              "(sudo usermod -aG dialout $USER), then log in again.");
    EXPECT_EQ(PermissionDeniedHint("/dev/ttyACM0", "root"),
              "Ask the administrator for read and write access to /dev/ttyACM0.");
    EXPECT_EQ(PermissionDeniedHint("/dev/ttyACM0", ""),
              "Ask the administrator for read and write access to /dev/ttyACM0.");
}

TEST(PermissionDeniedTest, DeviceGroupIsTheFilesGroup)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("ttyFAKE");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const group *own = ::getgrgid(::getegid());
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(DeviceGroup(path.toStdString()), own->gr_name);
    EXPECT_EQ(DeviceGroup(dir.filePath("missing").toStdString()), "");
}

// Holders are found by device number, so a file or a missing path has none;
// the text lists every holder, or says that the holder is unknown.
TEST(PortInUseTest, NamesEveryHolder)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("ttyFAKE"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    EXPECT_TRUE(DeviceHolders(f.fileName().toStdString()).empty());
    EXPECT_TRUE(DeviceHolders(dir.filePath("missing").toStdString()).empty());
    EXPECT_EQ(PortInUseText("/dev/ttyUSB2", {{812, "ModemManager"}}),
              "port /dev/ttyUSB2 is in use by ModemManager (pid 812)");
    EXPECT_EQ(PortInUseText("/dev/ttyUSB2", {{812, "ModemManager"}, {900, ""}}),
              "port /dev/ttyUSB2 is in use by ModemManager (pid 812), a process (pid 900)");
    EXPECT_EQ(PortInUseText("/dev/ttyUSB2", {}), "port /dev/ttyUSB2 is in use by another program");
}

} // namespace
