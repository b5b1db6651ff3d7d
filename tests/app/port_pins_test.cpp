// The one write to [Ports]: the pin lands, every other byte stays.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/port_pins.h"

using kd36::withPortPin;

TEST(PortPins, PinIsSetInPlaceAddedToTheSectionOrInANewSection)
{
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0";
    // An existing number (any case) gets only its value replaced.
    EXPECT_EQ(withPortPin("[Com]\r\nPort=5\r\n[ports]\r\n; mine\r\n com5 = /dev/ttyUSB0\r\nCOM6=simulator\r\n", 5, byId),
              "[Com]\r\nPort=5\r\n[ports]\r\n; mine\r\n com5 = " + byId + "\r\nCOM6=simulator\r\n");
    // A new number follows the section's last entry, before the next section
    // and the blank line; CR LF files stay CR LF.
    EXPECT_EQ(withPortPin("[Ports]\r\nCOM1=\r\n\r\n[Form]\r\nTop=3\r\n", 2, byId),
              "[Ports]\r\nCOM1=\r\nCOM2=" + byId + "\r\n\r\n[Form]\r\nTop=3\r\n");
    // COM12 is not COM1; a file without a final line break keeps its last line.
    EXPECT_EQ(withPortPin("[Ports]\nCOM12=x", 1, byId), "[Ports]\nCOM12=x\nCOM1=" + byId + "\n");
    EXPECT_EQ(withPortPin("[Com]\nPort=2", 2, byId), "[Com]\nPort=2\n[Ports]\nCOM2=" + byId + "\n");
    EXPECT_EQ(withPortPin("", 3, byId), "[Ports]\nCOM3=" + byId + "\n");
}

TEST(PortPins, FileIsReplacedWholeAndAFailedWriteLeavesItAsItWas)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("kd36-pins-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "kd36setup.ini").string();
    std::ofstream(path) << "[Form]\nTop=1\n";
    ::chmod(path.c_str(), 0600);
    std::string why;
    ASSERT_TRUE(kd36::writePortPin(path, 4, "/dev/serial/by-id/x", &why)) << why;
    std::stringstream got;
    got << std::ifstream(path).rdbuf();
    EXPECT_EQ(got.str(), "[Form]\nTop=1\n[Ports]\nCOM4=/dev/serial/by-id/x\n");
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    if (::geteuid() != 0) { // root writes anywhere
        ::chmod(dir.c_str(), 0500);
        EXPECT_FALSE(kd36::writePortPin(path, 5, "/dev/serial/by-id/y", &why));
        EXPECT_FALSE(why.empty());
        ::chmod(dir.c_str(), 0700);
        std::stringstream again;
        again << std::ifstream(path).rdbuf();
        EXPECT_EQ(again.str(), got.str());
    }
    fs::remove_all(dir);
}
