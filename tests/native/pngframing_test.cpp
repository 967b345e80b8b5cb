// The PNG framing check against files built here byte by byte (CRCs are not looked
// at, so they are left zero): complete files pass, every file cut short fails.
#include "check.hpp"
#include "core/pngframing.hpp"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void appendChunk(Bytes& file, const char* type, size_t length, uint32_t declared) {
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(uint8_t(declared >> shift));
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), length + 4, 0x41); // data, then the CRC
}

void appendChunk(Bytes& file, const char* type, size_t length) {
    appendChunk(file, type, length, uint32_t(length));
}

// A palette image with every kind of chunk the decoders meet before and after IDAT.
Bytes fullFile() {
    Bytes file = signature;
    appendChunk(file, "IHDR", 13);
    appendChunk(file, "tEXt", 10);
    appendChunk(file, "PLTE", 12);
    appendChunk(file, "tRNS", 4);
    appendChunk(file, "IDAT", 30);
    appendChunk(file, "IDAT", 0);
    appendChunk(file, "IEND", 0);
    return file;
}

bool complete(const Bytes& file) {
    return pngframing::isComplete(file.data(), file.size());
}

} // namespace

NATIVE_TEST(completeFilesPassWithOrWithoutTrailingBytes) {
    Bytes file = fullFile();
    CHECK(complete(file));
    file.insert(file.end(), {1, 2, 3});
    CHECK(complete(file));
    Bytes smallest = signature;
    appendChunk(smallest, "IEND", 0);
    CHECK(complete(smallest));
}

NATIVE_TEST(everyFileCutShortFails) {
    Bytes file = fullFile();
    for (size_t size = 0; size < file.size(); ++size) {
        // A buffer of exactly `size` bytes: the sanitizer sees any read beyond it.
        Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(size));
        CHECK(!pngframing::isComplete(cut.data(), cut.size()));
    }
}

NATIVE_TEST(chunksAfterTheFirstIendAreNotRead) {
    Bytes file = signature;
    appendChunk(file, "IEND", 0);
    appendChunk(file, "tEXt", 100, 1000); // claims more than the file has
    CHECK(complete(file));
}

NATIVE_TEST(lengthsBeyondTheFileOrTheFormatFail) {
    for (uint32_t declared : {14u, 1000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF3u, 0xFFFFFFFFu}) {
        Bytes file = signature;
        appendChunk(file, "IHDR", 13, declared);
        appendChunk(file, "IEND", 0);
        CHECK(!complete(file));
    }
}

NATIVE_TEST(aFileWithoutIendFails) {
    Bytes file = signature;
    appendChunk(file, "IHDR", 13);
    appendChunk(file, "IDAT", 20);
    CHECK(!complete(file));
    file.insert(file.end(), {0, 0, 0}); // less than a chunk header
    CHECK(!complete(file));
}

NATIVE_TEST(theWholeSignatureIsRequired) {
    Bytes file = fullFile();
    file[6] = 0x1B;
    CHECK(!complete(file));
    CHECK(pngframing::looksLikePng(file.data(), file.size()));
}

NATIVE_TEST(pngFilesAreToldByTheirFirstFourBytes) {
    const std::string cases[] = {"\x89PNG", "\x89PNG\r\n", "\x89PN", "GIF89a", "", "\x88PNG"};
    const bool expected[] = {true, true, false, false, false, false};
    for (size_t i = 0; i < std::size(cases); ++i) {
        Bytes bytes(cases[i].begin(), cases[i].end());
        CHECK_EQ(pngframing::looksLikePng(bytes.data(), bytes.size()), expected[i]);
    }
}
