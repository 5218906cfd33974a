#include "foundation/FileIO.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace korvane {
namespace {

constexpr size_t kOneMiB = size_t{1} << 20;

std::string uniquePath(const std::string& name) {
    return ::testing::TempDir() + "korvane-fileio-" + std::to_string(::getpid()) + "-" + name;
}

// Reads and writes test files with the standard library, so a fault in the code under test cannot
// hide behind the same fault in the fixture.
std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// ---- readFileContents.

TEST(FileIOTest, ReadFileContentsReturnsEveryByteUnchanged) {
    // Every byte value, including the ones a text-mode read would alter or stop at (0, \r, \n, 0x1a).
    std::vector<uint8_t> bytes(70000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 + i / 256);
    const std::string path = uniquePath("contents.bin");
    writeBytes(path, bytes);
    std::string error;
    const auto read = readFileContents(path, kOneMiB, &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(*read, bytes);
    std::filesystem::remove(path);
}

TEST(FileIOTest, ReadFileContentsOfAnEmptyFileIsAnEmptyVectorNotAFailure) {
    const std::string path = uniquePath("empty.bin");
    writeBytes(path, {});
    std::string error;
    const auto read = readFileContents(path, kOneMiB, &error);
    ASSERT_TRUE(read) << error;
    EXPECT_TRUE(read->empty());
    std::filesystem::remove(path);
}

TEST(FileIOTest, ReadFileContentsGivesTheReasonForMissingFilesAndDirectories) {
    std::string error;
    EXPECT_FALSE(readFileContents(uniquePath("missing.bin"), kOneMiB, &error));
    EXPECT_EQ(error, "No such file or directory");

    const std::string directory = uniquePath("folder");
    std::filesystem::create_directories(directory);
    error.clear();
    EXPECT_FALSE(readFileContents(directory, kOneMiB, &error));
    EXPECT_EQ(error, "not a regular file");
    std::filesystem::remove_all(directory);

    // The reason is optional.
    EXPECT_FALSE(readFileContents(uniquePath("missing.bin"), kOneMiB, nullptr));
}

TEST(FileIOTest, ReadFileContentsRefusesFilesAboveMaxBytesButReadsOneOfExactlyThatSize) {
    const std::string path = uniquePath("limit.bin");
    writeBytes(path, std::vector<uint8_t>(kOneMiB + 1, 0xab));
    std::string error;
    EXPECT_FALSE(readFileContents(path, kOneMiB, &error));
    EXPECT_EQ(error, "the file is larger than 1 MiB");

    writeBytes(path, std::vector<uint8_t>(kOneMiB, 0xcd));
    error.clear();
    const auto read = readFileContents(path, kOneMiB, &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->size(), kOneMiB);
    EXPECT_EQ(read->back(), 0xcd);
    std::filesystem::remove(path);
}

// ---- writeFileAtomically.

TEST(FileIOTest, AtomicWriteLeavesNoTemporaryFilesAndKeepsPermissions) {
    const std::string directory = uniquePath("dir");
    std::filesystem::create_directories(directory);
    const std::string path = directory + "/scene.bin";
    const std::vector<uint8_t> first = {1, 2, 3}, second = {4, 5};
    ASSERT_TRUE(writeFileAtomically(path, first, nullptr));
    EXPECT_EQ(fileBytes(path), first);
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(writeFileAtomically(path, second, nullptr));
    EXPECT_EQ(fileBytes(path), second);
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), {}), 1);
    std::filesystem::remove_all(directory);
}

// A process that starts a save of path the way writeFileAtomically does and dies before the
// rename, as under kill -9. Returns its (now unused) process id.
pid_t interruptedSave(const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::ofstream(atomicWriteTemporaryName(path, ::getpid(), 0), std::ios::binary) << "half a document";
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

TEST(FileIOTest, SavingRemovesWhatInterruptedSavesOfTheSameFileLeftBehindAndNothingElse) {
    const std::string directory = uniquePath("stale");
    std::filesystem::create_directories(directory);
    const std::string path = directory + "/Alpine Lake.korvane";
    const pid_t dead = interruptedSave(path);
    const std::string stale = atomicWriteTemporaryName(path, dead, 0);
    ASSERT_TRUE(std::filesystem::exists(stale));
    EXPECT_NE(stale.find("Alpine Lake.korvane.saving-"), std::string::npos);  // says what it is
    const std::string older = path + ".tmp-" + std::to_string(dead) + "-3";   // earlier versions' name
    writeBytes(older, {1});
    // Kept: a save still running, another document's leftovers, a name that only looks similar.
    const std::string running = atomicWriteTemporaryName(path, ::getppid(), 0);
    const std::string otherDocument = atomicWriteTemporaryName(directory + "/Other.korvane", dead, 0);
    const std::string lookalike = path + ".saving-notes.txt";
    for (const auto& kept : {running, otherDocument, lookalike}) writeBytes(kept, {2});

    ASSERT_TRUE(writeFileAtomically(path, std::vector<uint8_t>{7, 7}, nullptr));
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_FALSE(std::filesystem::exists(older));
    for (const auto& kept : {running, otherDocument, lookalike}) EXPECT_TRUE(std::filesystem::exists(kept)) << kept;
    EXPECT_EQ(fileBytes(path), (std::vector<uint8_t>{7, 7}));
    EXPECT_EQ(removeStaleTemporaryFiles(path), 0);
    std::filesystem::remove_all(directory);
}

TEST(FileIOTest, AtomicWriteOfNoBytesReplacesTheFileWithAnEmptyOne) {
    const std::string path = uniquePath("truncate.bin");
    writeBytes(path, {7, 7, 7});
    std::string error;
    ASSERT_TRUE(writeFileAtomically(path, {}, &error)) << error;
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(fileBytes(path).empty());
    std::filesystem::remove(path);
}

TEST(FileIOTest, AtomicWriteIntoMissingDirectoryFailsWithReason) {
    const std::string path = uniquePath("missing") + "/sub/file.bin";
    std::string error;
    EXPECT_FALSE(writeFileAtomically(path, std::vector<uint8_t>{1}, &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(FileIOTest, AtomicWriteIntoReadOnlyDirectoryKeepsTheOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    const std::string directory = uniquePath("readonly");
    std::filesystem::create_directories(directory);
    const std::string path = directory + "/scene.bin";
    const std::vector<uint8_t> old = {9, 9, 9};
    ASSERT_TRUE(writeFileAtomically(path, old, nullptr));
    ::chmod(directory.c_str(), 0555);
    std::string error;
    EXPECT_FALSE(writeFileAtomically(path, std::vector<uint8_t>{1, 2}, &error));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_EQ(fileBytes(path), old);
    ::chmod(directory.c_str(), 0755);
    std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace korvane
