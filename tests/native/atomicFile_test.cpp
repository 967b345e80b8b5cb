// Whole-file replacement in a scratch folder: the old file stays until the commit,
// nothing is left behind by a replacement that is given up, and the target keeps its
// permissions and its links.
#include "check.hpp"
#include "core/atomicFile.hpp"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Folder {
    std::string path;
    Folder() {
        char name[] = "/tmp/atomicFileXXXXXX";
        path = ::mkdtemp(name);
    }
    ~Folder() {
        std::string command = "rm -rf '" + path + "'";
        CHECK(std::system(command.c_str()) == 0);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        DIR* folder = ::opendir(path.c_str());
        while (dirent* entry = ::readdir(folder))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                found.push_back(entry->d_name);
        ::closedir(folder);
        return found;
    }
};

void put(const std::string& path, const std::string& content) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    CHECK(fd >= 0 && ::write(fd, content.data(), content.size()) == ssize_t(content.size()));
    ::close(fd);
}

std::string contentOf(const std::string& path) {
    std::string content;
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return "<none>";
    char buffer[256];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, size_t(got));
    ::close(fd);
    return content;
}

// Writes `content` as the replacement of `path`, up to the commit when `commit`.
int replace(const std::string& path, const std::string& content, bool commit = true) {
    atomicFile::Replacement file;
    if (int error = file.open(path.c_str())) return error;
    size_t written = 0;
    if (int error = file.write(content.data(), content.size(), written)) return error;
    if (int error = file.finish()) return error;
    return commit ? file.commit() : 0;
}

mode_t modeOf(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

} // namespace

NATIVE_TEST(theOldFileStaysUntilTheCommit) {
    Folder folder;
    std::string path = folder / "a.bin";
    put(path, "old");
    {
        atomicFile::Replacement file;
        CHECK(file.open(path.c_str()) == 0);
        size_t written = 0;
        CHECK(file.write("new content", 11, written) == 0 && written == 11);
        CHECK(contentOf(path) == "old");
        CHECK(file.finish() == 0);
        CHECK(contentOf(path) == "old");
        CHECK(folder.names().size() == 2); // the file and its temporary twin
        CHECK(file.commit() == 0);
    }
    CHECK(contentOf(path) == "new content");
    CHECK(folder.names() == std::vector<std::string>{"a.bin"});
}

NATIVE_TEST(aReplacementGivenUpLeavesNothing) {
    Folder folder;
    put(folder / "a.bin", "old");
    CHECK(replace(folder / "a.bin", "new", false) == 0);
    CHECK(replace(folder / "b.bin", "new", false) == 0);
    {
        atomicFile::Replacement file; // given up before its content is finished
        CHECK(file.open((folder / "a.bin").c_str()) == 0);
        size_t written = 0;
        CHECK(file.write("partial", 7, written) == 0);
    }
    CHECK(contentOf(folder / "a.bin") == "old");
    CHECK(folder.names() == std::vector<std::string>{"a.bin"});
}

// An interrupted write is made again with what it had written: it goes on from there.
NATIVE_TEST(aWriteGoesOnWhereItStopped) {
    Folder folder;
    atomicFile::Replacement file;
    CHECK(file.open((folder / "a.bin").c_str()) == 0);
    size_t written = 4;
    CHECK(file.write("new content", 11, written) == 0 && written == 11);
    CHECK(file.write("new content", 11, written) == 0 && written == 11);
    CHECK(file.finish() == 0 && file.commit() == 0);
    CHECK(contentOf(folder / "a.bin") == "content");
}

NATIVE_TEST(targetsThatCannotBeReplaced) {
    Folder folder;
    CHECK(::mkdir((folder / "dir").c_str(), 0755) == 0);
    CHECK(replace(folder / "dir", "x") == EISDIR);
    CHECK(replace(folder / "missing/a.bin", "x") == ENOENT);
    put(folder / "file", "old");
    CHECK(replace(folder / "file/a.bin", "x") == ENOTDIR);
    CHECK(contentOf(folder / "file") == "old");
    atomicFile::Replacement unopened;
    size_t written = 0;
    CHECK(unopened.write("x", 1, written) == EBADF && unopened.finish() == EBADF);
    CHECK(unopened.commit() == EBADF);
}

NATIVE_TEST(theTargetKeepsItsPermissionsAndItsLinks) {
    Folder folder;
    std::string path = folder / "kept.bin";
    put(path, "old");
    CHECK(::chmod(path.c_str(), 0640) == 0);
    CHECK(replace(path, "new") == 0);
    CHECK(contentOf(path) == "new" && modeOf(path) == 0640);

    // A new file is made as open() would make it.
    mode_t mask = ::umask(022);
    CHECK(replace(folder / "fresh.bin", "new") == 0);
    ::umask(mask);
    CHECK(modeOf(folder / "fresh.bin") == 0644);

    // A link stays a link; the file it names is replaced, beside itself.
    CHECK(::mkdir((folder / "real").c_str(), 0755) == 0);
    put(folder / "real/target.bin", "old");
    CHECK(::symlink("real/target.bin", (folder / "link.bin").c_str()) == 0);
    CHECK(replace(folder / "link.bin", "through the link") == 0);
    struct stat status;
    CHECK(::lstat((folder / "link.bin").c_str(), &status) == 0 && S_ISLNK(status.st_mode));
    CHECK(contentOf(folder / "real/target.bin") == "through the link");

    // A link that names nothing yet is written through, as open() would.
    CHECK(::symlink("real/later.bin", (folder / "dangling.bin").c_str()) == 0);
    CHECK(replace(folder / "dangling.bin", "created") == 0);
    CHECK(contentOf(folder / "real/later.bin") == "created");
}

NATIVE_TEST(aDeviceIsWrittenInPlace) {
    CHECK(replace("/dev/null", "into nothing") == 0);
}
