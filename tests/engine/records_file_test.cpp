// The one file replacement the settings file and the record files share.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "engine/records_file.h"

namespace fs = std::filesystem;

namespace kd36 {
namespace {

class ReplaceFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/kd36_records_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string read(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    size_t entries() { return size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator())); }
    fs::path dir;
};

TEST_F(ReplaceFile, KeepsTheOldModeAndLeavesNothingBeside)
{
    const fs::path f = dir / "a.csv";
    std::ofstream(f) << "old";
    ::chmod(f.c_str(), 0600);
    std::string why;
    ASSERT_TRUE(replaceFileContents(f.string(), "new,1\r\n", why)) << why;
    EXPECT_EQ(read(f), "new,1\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(ReplaceFile, AFailedRenameRemovesItsTemporaryAndSaysWhy)
{
    // A folder at the path: the new file is written, the rename refused.
    fs::create_directory(dir / "taken");
    const Replaced r = replaceThroughTemporary((dir / "taken").string(), "x", 0644);
    EXPECT_TRUE(r.temporaryMade);
    EXPECT_NE(r.err, 0);
    EXPECT_EQ(entries(), 1u) << "the temporary stayed";
    // No folder at all: nothing was made, so a caller may try in place.
    const Replaced none = replaceThroughTemporary((dir / "missing" / "f").string(), "x", 0644);
    EXPECT_FALSE(none.temporaryMade);
    EXPECT_EQ(none.err, ENOENT);
}

TEST_F(ReplaceFile, ALinkStaysALinkAndAnythingButAFileIsRefused)
{
    const fs::path target = dir / "real.ini", link = dir / "link.ini";
    std::ofstream(target) << "old";
    fs::create_symlink("real.ini", link);
    std::string why;
    ASSERT_TRUE(replaceFileContents(link.string(), "new", why)) << why;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read(target), "new");

    // A FIFO is neither opened (which would wait for a writer) nor replaced.
    const fs::path fifo = dir / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const FileRead r = readRegularFile(fifo.string(), 1024);
    EXPECT_EQ(r.state, FileRead::NotWhole);
    EXPECT_EQ(r.why, "not a regular file");
    EXPECT_FALSE(replaceFileContents(fifo.string(), "x", why));
    EXPECT_EQ(why, "not a regular file");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(entries(), 3u);
}

} // namespace
} // namespace kd36
