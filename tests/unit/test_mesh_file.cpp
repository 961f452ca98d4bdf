#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "base/mesh_file.h"
#include "base/staged_file.h"
#include "test_support.h"

using namespace morvale;
using namespace testing_support;

// Numbers and byte runs of odd lengths, past the 1 MiB buffer several times,
// so that writes land across every kind of buffer boundary; then a patch and
// a read-back behind the buffer.
TEST(MeshFile, WritesAcrossTheBufferKeepEveryByteInOrder) {
    ScratchDir dir;
    MeshFile file;
    ASSERT_TRUE(file.open(dir / "m.bin"));
    std::string expected;
    const std::string run(1000, 'r');
    for (std::uint32_t i = 0; i < 300000; ++i) {
        file.writeU32(i);
        expected += {static_cast<char>(i), static_cast<char>(i >> 8), static_cast<char>(i >> 16), static_cast<char>(0)};
        if (i % 97 == 0) {
            file.write(run.data(), i % 1000);
            expected.append(run, 0, i % 1000);
        }
        if (i % 5 == 0) {
            file.writeF32(-2.0f);  // 0xC0000000
            expected += std::string("\0\0\0\xC0", 4);
        }
    }
    ASSERT_GT(expected.size(), std::size_t{2} << 20);
    file.patch(4, "\x01\x02\x03\x04", 4);
    expected.replace(4, 4, "\x01\x02\x03\x04");
    unsigned char back[4] = {};
    ASSERT_TRUE(file.readBack(4, back, 4));
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(back[3], 4);
    EXPECT_EQ(file.position(), static_cast<std::int64_t>(expected.size()));
    ASSERT_TRUE(file.close());
    EXPECT_TRUE(readFile(dir / "m.bin") == expected);
}

// Where an output is written until it is complete: beside it under a name of
// its own for every call (tasks and threads writing into one folder), put in
// place over an earlier file or removed; what a rename must not replace (a
// folder, a device) is written in place (a read-only file: BadInput's test
// of outputs that cannot be created, as a user whom permissions bind).
TEST(StagedFile, TemporaryNamesBesideTheOutputNeverMeet) {
    ScratchDir dir;
    writeFile(dir / "out.obj", "earlier");
    const StagedFile first = stageFile(dir / "out.obj");
    const StagedFile second = stageFile(dir / "out.obj");
    ASSERT_TRUE(first.staged() && second.staged());
    EXPECT_NE(first.written, second.written);
    for (const StagedFile& file : {first, second}) {
        EXPECT_EQ(file.written.parent_path(), dir.path());
        EXPECT_EQ(file.written.extension(), ".tmp");
    }
    writeFile(first.written, "new");
    writeFile(second.written, "other");
    EXPECT_FALSE(commitStaged(first));
    discardStaged(second);
    EXPECT_EQ(readFile(dir / "out.obj"), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

    std::filesystem::create_directory(dir / "folder.obj");
    for (const std::filesystem::path& inPlace : {dir / "folder.obj", std::filesystem::path("/dev/null")})
        EXPECT_FALSE(stageFile(inPlace).staged()) << inPlace;
}
