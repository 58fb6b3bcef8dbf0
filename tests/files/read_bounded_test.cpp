// Bounded input: regular files only, never waiting on a FIFO, never more than
// the stated size.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <future>

#include "files/safe_file.h"
#include "support/test_support.h"

namespace {

using testsupport::WriteFileBytes;

class ReadBoundedTest : public ::testing::Test {
protected:
    QString Path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    std::string S(const char* name) const { return Path(name).toStdString(); }
    QTemporaryDir dir_;
};

TEST_F(ReadBoundedTest, SizeLimitRefusesOrCutsAsAsked) {
    ASSERT_TRUE(WriteFileBytes(S("ten"), "0123456789"));
    QByteArray out = "untouched";
    FileError error;
    EXPECT_TRUE(ReadFileBounded(Path("ten"), 10, &out, &error));
    EXPECT_EQ(out, "0123456789");
    out = "untouched";
    EXPECT_FALSE(ReadFileBounded(Path("ten"), 9, &out, &error));
    EXPECT_EQ(error.kind, FileError::Kind::TooLarge);
    EXPECT_EQ(error.Reason(), QStringLiteral("plik większy niż 9 bajtów"));
    EXPECT_EQ(out, "untouched");
    EXPECT_TRUE(ReadFileBounded(Path("ten"), 4, &out, &error, ReadLimit::FirstBytes));
    EXPECT_EQ(out, "0123");
    EXPECT_TRUE(ReadFileBounded(Path("ten"), 40, &out, &error, ReadLimit::FirstBytes));
    EXPECT_EQ(out, "0123456789");

    // A huge sparse file is refused by its size, before anything is read.
    const int fd = ::open(S("sparse").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(1) << 40), 0);
    ::close(fd);
    EXPECT_FALSE(ReadFileBounded(Path("sparse"), 1 << 20, &out, &error));
    EXPECT_EQ(error.kind, FileError::Kind::TooLarge);
    EXPECT_TRUE(ReadFileBounded(Path("sparse"), 100, &out, &error, ReadLimit::FirstBytes));
    EXPECT_EQ(out, QByteArray(100, '\0'));
}

TEST_F(ReadBoundedTest, MissingFolderAndDevicesAreRefused) {
    QByteArray out;
    FileError error;
    EXPECT_FALSE(ReadFileBounded(Path("missing"), 10, &out, &error));
    EXPECT_EQ(error.kind, FileError::Kind::Open);
    EXPECT_EQ(error.Reason(), QStringLiteral("nie ma takiego pliku ani folderu"));
    EXPECT_FALSE(ReadFileBounded(dir_.path(), 10, &out, &error));
    EXPECT_EQ(error.kind, FileError::Kind::NotRegular);
    // /dev/zero would never end; through a link it is refused the same.
    ASSERT_EQ(::symlink("/dev/zero", S("zero.json").c_str()), 0);
    for (const QString& path : {QStringLiteral("/dev/zero"), Path("zero.json")}) {
        EXPECT_FALSE(ReadFileBounded(path, 1 << 20, &out, &error)) << path.toStdString();
        EXPECT_EQ(error.kind, FileError::Kind::NotRegular);
        EXPECT_FALSE(ReadFileBounded(path, 1 << 20, &out, &error, ReadLimit::FirstBytes));
    }
}

TEST_F(ReadBoundedTest, FifoWithoutAWriterIsRefusedAtOnce) {
    ASSERT_EQ(::mkfifo(S("fifo.kvz").c_str(), 0644), 0);
    const QString path = Path("fifo.kvz");
    auto reading = std::async(std::launch::async, [path] {
        QByteArray out;
        FileError error;
        const bool ok = ReadFileBounded(path, 1000, &out, &error);
        return !ok && error.kind == FileError::Kind::NotRegular;
    });
    const bool done = reading.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!done) {
        // Let a blocked open go on, so that the test ends and reports.
        const int w = ::open(S("fifo.kvz").c_str(), O_WRONLY);
        if (w >= 0) ::close(w);
    }
    ASSERT_TRUE(done) << "reading a FIFO blocked";
    EXPECT_TRUE(reading.get());
}

}  // namespace
