// The history file: what is read back from files of every kind, trimming, and sessions that
// write at once.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/history.h"

namespace VELD {
namespace {

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/exactcalc-history-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        path = folder + "/history";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    void write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::string contents() const {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::string folder, path;
};

TEST_F(HistoryTest, ReadsWhatAPersonTypedAndPassesOverTheRest) {
    const std::string megabyte(1 << 20, '7');
    const struct {
        std::string text;
        std::vector<std::string> entries;
    } rows[] = {
        {"", {}},
        {"1 + 2\n3 * 4\n", {"1 + 2", "3 * 4"}},
        {"1 + 2\n3 * 4", {"1 + 2", "3 * 4"}},  // no line end after the last
        {"\n\n5 !\n\n", {"5 !"}},
        {"\x1b[A\n7 - 1\n1 + 1\n", {"7 - 1", "1 + 1"}},           // a line of control bytes
        {"1 + 1\x01\n2 + 2\x1b\n3\t+ 3\n", {"3\t+ 3"}},           // as older programs wrote
        {"\xc3\xa9 + 1\n", {"\xc3\xa9 + 1"}},                     // bytes above 127 stand
        {"1 + 2\r\n", {}},                                        // a carriage return is a control
        {std::string(100, '9') + "\n", {std::string(100, '9')}},  // whole, as typed
        {megabyte + "\n2 ^ 10\n", {"2 ^ 10"}},                    // only the file's end is read
    };
    for (const auto& row : rows) {
        write(row.text);
        std::ostringstream err;
        HistoryFile file(path, err);
        EXPECT_EQ(file.load(), row.entries) << row.text.substr(0, 40);
        EXPECT_EQ(err.str(), "");
    }
}

// A line with a control byte (Ctrl-V, a paste) is not written: the file stays a history.
TEST_F(HistoryTest, ControlBytesStayOutOfTheFile) {
    std::ostringstream err;
    HistoryFile file(path, err);
    for (const char* line : {"1 + 1\x01", "2 + 2\x1b", "3\t+ 3", "4 + 4"})
        file.append(line);
    EXPECT_EQ(contents(), "3\t+ 3\n4 + 4\n");
    EXPECT_EQ(HistoryFile(path, err).load(), (std::vector<std::string>{"3\t+ 3", "4 + 4"}));
    EXPECT_EQ(err.str(), "");
}

// A file that cannot be a history, one with a NUL byte, was named by mistake: it is
// reported once, and neither read nor written.
TEST_F(HistoryTest, BinaryFilesAreLeftAsTheyAre) {
    for (const std::string& text : {std::string("a\0b\n6 / 3\n", 10)}) {
        write(text);
        std::ostringstream err;
        HistoryFile file(path, err);
        EXPECT_EQ(file.load(), std::vector<std::string>{});
        file.append("1 + 2");
        EXPECT_EQ(contents(), text);
        EXPECT_EQ(err.str(), "exactcalc: history not saved: " + path +
                                 ": not a history file (it holds binary data); left as it is\n");
    }
}

// A file whose last line has no line end (cut short by an older program) gets one before
// the next entry, which is stored whole.
TEST_F(HistoryTest, AnEntryStartsOnALineOfItsOwn) {
    write("1 + 2\n3 +");
    std::ostringstream err;
    HistoryFile file(path, err);
    file.load();
    file.append("9 + 9");
    EXPECT_EQ(contents(), "1 + 2\n3 +\n9 + 9\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(HistoryTest, FilesThatCannotServeWarnOnceAndTheRestGoesOn) {
    std::filesystem::create_directory(folder + "/folder");
    const struct {
        std::string path;
        std::string warning;
    } rows[] = {
        {folder + "/folder", "Is a directory"},
        {folder + "/missing/history", "No such file or directory"},
        {"/dev/full", "No space left on device"},
    };
    for (const auto& row : rows) {
        if (row.path == "/dev/full" && access("/dev/full", W_OK) != 0) continue;
        std::ostringstream err;
        HistoryFile file(row.path, err);
        EXPECT_EQ(file.load(), std::vector<std::string>{}) << row.path;
        file.append("1 + 2");
        file.append("3 + 4");
        EXPECT_EQ(err.str(),
                  "exactcalc: history not saved: " + row.path + ": " + row.warning + "\n");
    }
    // An empty path keeps no history and says nothing.
    std::ostringstream err;
    HistoryFile none("", err);
    none.append("1 + 2");
    EXPECT_EQ(err.str(), "");
}

TEST_F(HistoryTest, NewFileIsPrivateAndKeepsTheLastThousand) {
    std::ostringstream err;
    {
        HistoryFile file(path, err);
        EXPECT_EQ(file.load(), std::vector<std::string>{});
        for (int k = 1; k <= 1500; ++k)
            file.append(std::to_string(k) + " + 1");
    }
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    HistoryFile again(path, err);
    const std::vector<std::string> entries = again.load();
    ASSERT_EQ(entries.size(), HistoryFile::LIMIT);
    EXPECT_EQ(entries.front(), "501 + 1");
    EXPECT_EQ(entries.back(), "1500 + 1");
    const std::string text = contents();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1000);
    EXPECT_EQ(err.str(), "");
}

// Two sessions at once each keep every line they enter, also across trims.
TEST_F(HistoryTest, SessionsAtOnceLoseNothing) {
    std::ostringstream err;
    HistoryFile first(path, err), second(path, err);
    first.load();
    second.load();
    for (int k = 0; k < 600; ++k) {
        first.append("1 + " + std::to_string(k));
        second.append("2 + " + std::to_string(k));
    }
    const std::vector<std::string> entries = HistoryFile(path, err).load();
    ASSERT_EQ(entries.size(), HistoryFile::LIMIT);
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const int turn = static_cast<int>(k + 200);  // the last 1000 of 1200 lines
        EXPECT_EQ(entries[k], (turn % 2 == 0 ? "1 + " : "2 + ") + std::to_string(turn / 2)) << k;
    }
    EXPECT_EQ(err.str(), "");
}

// A trim cut short anywhere tears no entry: a writer that trims at every entry, killed at a
// range of moments, leaves every line of the file an entry it wrote whole. The file keeps
// its mode, and a history reached through a symbolic link stays one.
TEST_F(HistoryTest, ATrimCutShortTearsNoEntry) {
    std::string text;
    for (int k = 0; k < 1000; ++k)
        text += std::to_string(k) + " + 1\n";
    write(text);
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    const std::string link = folder + "/link";
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    for (int attempt = 0; attempt < 30; ++attempt) {
        const pid_t writer = fork();
        if (writer == 0) {
            std::ostringstream err;
            HistoryFile file(link, err);
            file.load();
            for (int k = 0;; ++k)
                file.append(std::to_string(k) + " * 2");
        }
        usleep(static_cast<useconds_t>(2000 + 700 * attempt));
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
        std::istringstream lines(contents());
        for (std::string line; std::getline(lines, line);) {
            const std::size_t space = line.find(' ');
            ASSERT_TRUE(space != std::string::npos && space > 0 &&
                        line.find_first_not_of("0123456789") == space &&
                        (line.substr(space) == " + 1" || line.substr(space) == " * 2"))
                << attempt << ": " << line;
        }
    }
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
}

// A trim that finds no room for the new file leaves the file as it is, the entry saved and
// nothing beside it, and goes on saving; once there is room the next entry trims it.
TEST_F(HistoryTest, ATrimWithoutRoomKeepsSaving) {
    const std::string disk = folder + "/disk";
    std::filesystem::create_directory(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=16k") != 0) GTEST_SKIP() << "no tmpfs";
    path = disk + "/history";
    std::string text;
    for (int k = 0; k < 1000; ++k)
        text += std::to_string(k) + " + 1\n";
    write(text);
    std::ofstream(disk + "/filler", std::ios::binary) << std::string(8192, 'f');
    std::ostringstream err;
    HistoryFile file(path, err);
    file.load();
    file.append("1 + 2");
    EXPECT_TRUE(contents() == text + "1 + 2\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk), {}), 2);
    std::filesystem::remove(disk + "/filler");
    file.append("3 + 4");
    const std::string kept = text.substr(text.find('\n', text.find('\n') + 1) + 1);
    EXPECT_TRUE(contents() == kept + "1 + 2\n3 + 4\n");
    EXPECT_EQ(err.str(), "");
    umount(disk.c_str());
}

}  // namespace
}  // namespace VELD
