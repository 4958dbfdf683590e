// C streams on Windows paths: the modes, their errors, positioning and large content.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/kernel.h"
#include "platform/standin/tests/file_support.h"

namespace {

using filetest::FileTest;

using Streams = FileTest;

// Writes `written` when given, then reads from the start when the mode reads.
struct ModeCase {
    const char* mode;
    const char* before;  // null: no file
    const char* written;
    const char* read;  // what a read from the start gives; null for a mode that cannot read
    const char* after;
};

TEST_F(Streams, ModesOpenWriteAndReadAsTheCLibraryDoes) {
    const ModeCase cases[] = {
        {"r", "abc", nullptr, "abc", "abc"},
        {"rb", "abc", nullptr, "abc", "abc"},
        {"rt", "abc", nullptr, "abc", "abc"},
        {"w", "abc", "XY", nullptr, "XY"},
        {"wb", nullptr, "XY", nullptr, "XY"},
        {"wx", nullptr, "XY", nullptr, "XY"},
        {"a", "abc", "XY", nullptr, "abcXY"},
        {"ab", nullptr, "XY", nullptr, "XY"},
        {"r+", "abc", "XY", "XYc", "XYc"},
        {"rb+", "abc", "XY", "XYc", "XYc"},
        {"w+", "abc", "XY", "XY", "XY"},
        {"a+", "abc", "XY", "abcXY", "abcXY"},
        {"a+b", nullptr, "XY", "XY", "XY"},
    };
    for (const ModeCase& row : cases) {
        SCOPED_TRACE(row.mode);
        unlink(host("file.txt").c_str());
        if (row.before) put("file.txt", row.before);
        FILE* file = fopen("C:\\file.txt", row.mode);
        ASSERT_NE(file, nullptr);
        if (row.written) {
            EXPECT_EQ(fputs(row.written, file), 1);
            EXPECT_EQ(fflush(file), 0);
        }
        if (row.read) {
            char buffer[16] = {};
            ASSERT_EQ(fseek(file, 0, SEEK_SET), 0);
            EXPECT_EQ(fread(buffer, 1, sizeof buffer - 1, file), strlen(row.read));
            EXPECT_STREQ(buffer, row.read);
        } else {
            EXPECT_EQ(fgetc(file), EOF);
            EXPECT_TRUE(ferror(file));
        }
        EXPECT_EQ(fclose(file), 0);
        EXPECT_EQ(content("file.txt"), row.after);
    }
}

TEST_F(Streams, FailWithTheCLibrarysErrors) {
    put("file.txt", "abc");
    put("locked.txt", "abc");
    makeReadOnly("locked.txt");
    ASSERT_EQ(mkdir(host("folder").c_str(), 0755), 0);
    struct Case {
        const char* path;
        const char* mode;
        int error;
    };
    const Case cases[] = {
        {"C:\\missing.txt", "r", ENOENT},
        {"C:\\missing.txt", "r+", ENOENT},
        {"C:\\missing\\file.txt", "w", ENOENT},
        {"C:\\file.txt", "wx", EEXIST},
        {"C:\\file.txt", "", EINVAL},
        {"C:\\file.txt", "z", EINVAL},
        {"C:\\bad|name.txt", "w", EINVAL},
        {"C:\\locked.txt", "w", EACCES},
        {"C:\\locked.txt", "a", EACCES},
        {"C:\\locked.txt", "r+", EACCES},
        {"C:\\folder", "r", EACCES},
        {nullptr, "r", EINVAL},
        {"C:\\file.txt", nullptr, EINVAL},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(std::string(row.path ? row.path : "null") + " " +
                     (row.mode ? row.mode : "null"));
        errno = 0;
        FILE* file = fopen(row.path, row.mode);
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(errno, row.error);
        if (file) fclose(file);
    }
    EXPECT_EQ(content("file.txt"), "abc");
    EXPECT_EQ(content("locked.txt"), "abc");
}

TEST_F(Streams, SeekAndTell) {
    put("file.txt", "0123456789");
    FILE* file = fopen("C:\\file.txt", "r+b");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fseek(file, 4, SEEK_SET), 0);
    EXPECT_EQ(ftell(file), 4);
    EXPECT_EQ(fgetc(file), '4');
    ASSERT_EQ(fseek(file, -2, SEEK_END), 0);
    EXPECT_EQ(ftell(file), 8);
    EXPECT_EQ(fputc('X', file), 'X');
    ASSERT_EQ(fseek(file, 0, SEEK_END), 0);
    EXPECT_EQ(ftell(file), 10);
    EXPECT_NE(fseek(file, -20, SEEK_SET), 0);
    EXPECT_EQ(fclose(file), 0);
    EXPECT_EQ(content("file.txt"), "01234567X9");
}

TEST_F(Streams, CarryLargeContentWhole) {
    std::string data(1000003, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 31) ^ (i >> 9));
    FILE* out = fopen("C:\\large.bin", "wb");
    ASSERT_NE(out, nullptr);
    // Pieces of every size, beside and across the buffer's boundary.
    size_t done = 0;
    for (size_t piece = 1; done < data.size(); piece = piece * 3 + 1) {
        size_t size = std::min(piece % 150000 + 1, data.size() - done);
        ASSERT_EQ(fwrite(data.data() + done, 1, size, out), size);
        done += size;
    }
    ASSERT_EQ(fclose(out), 0);
    EXPECT_EQ(content("large.bin"), data);

    FILE* in = fopen("C:\\large.bin", "rb");
    ASSERT_NE(in, nullptr);
    std::string back(data.size() + 1, '\0');
    EXPECT_EQ(fread(back.data(), 1, back.size(), in), data.size());
    EXPECT_TRUE(feof(in));
    back.resize(data.size());
    EXPECT_EQ(back, data);
    EXPECT_EQ(fclose(in), 0);
}

TEST_F(Streams, OnHostPathsStayOutsideTheMachine) {
    put("file.txt", "abc");
    filetest::Handle exclusive = filetest::open("C:\\file.txt", GENERIC_READ);
    ASSERT_TRUE(exclusive.valid());
    // The stand-in's own files are opened by their host paths; no Windows sharing applies.
    FILE* file = fopen(host("file.txt").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    fclose(file);
}

}  // namespace
