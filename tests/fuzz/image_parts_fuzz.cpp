// libFuzzer target: DetectImageType, BuildMessagePart and BuildImagePart
// (with the GIF conversion behind it) on arbitrary input.
//
// Input: one selector byte (the image file's extension), a text up to the
// first zero byte (message and path to classify), then the image file's bytes.
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "image/detect_image_type.h"
#include "notify/image_part.h"
#include "notify/message_part.h"

namespace {

using pushnote::ResultCode;

const std::string kDelimiter = "--------------------------e9525679e317ad2a";
const char* const kExtensions[] = {"gif", "GIF", "png", "jpg", "JPEG", "bmp"};

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

std::string g_folder;

void CheckDetectImageType(const std::string& path) {
    const char* subtype = nullptr;
    bool needsConversion = false;
    const char* extension = pushnote::DetectImageType(path.c_str(), subtype, needsConversion);
    Check(subtype != nullptr, "subtype always set");
    if (!extension) {
        Check(!needsConversion && *subtype == '\0', "a refusal asks for nothing");
        return;
    }
    const std::string type = extension;
    Check((type == "jpg" && std::strcmp(subtype, "jpeg") == 0) ||
              (type == "png" && std::strcmp(subtype, "png") == 0 && !needsConversion),
          "extension and subtype agree");
    // Letter case never matters.
    std::string swapped = path;
    for (char& c : swapped) {
        c = std::isupper(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c))
                                                        : static_cast<char>(std::toupper(c));
    }
    const char* swappedSubtype = nullptr;
    bool swappedConversion = false;
    const char* swappedExtension =
        pushnote::DetectImageType(swapped.c_str(), swappedSubtype, swappedConversion);
    Check(swappedExtension && type == swappedExtension && swappedConversion == needsConversion,
          "case-insensitive");
}

void CheckMessagePart(const std::string& message) {
    std::size_t length = 0;
    ResultCode error = 0;
    pushnote::Buffer part =
        pushnote::BuildMessagePart(message.c_str(), kDelimiter.c_str(), length, error);
    if (message.size() > 3999) {
        Check(error == -20 && !part, "too long is -20");
        return;
    }
    Check(error == 0 && part, "fits");
    const std::string bytes(part.data(), length);
    const std::string prefix =
        kDelimiter + "\r\nContent-Disposition: form-data; name=\"message\"\r\n\r\n";
    Check(bytes.compare(0, prefix.size(), prefix) == 0, "message part prefix");
    Check(bytes.size() >= prefix.size() + 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0,
          "message part ends with a line break");
    Check(std::strlen(part.data()) == length, "terminated right after its bytes");
}

std::string ReadFile(const std::string& path) {
    std::string bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
            bytes.append(chunk, got);
        }
        std::fclose(file);
    }
    return bytes;
}

void CheckImagePart(const char* extension, const std::string& content) {
    const std::string path = g_folder + "/image." + extension;
    const std::string jpegPath = g_folder + "/image.jpg";
    unlink(jpegPath.c_str());
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }
    ResultCode error = 0;
    pushnote::WorkingPath workingPath;
    pushnote::ImagePart part =
        pushnote::BuildImagePart(path.c_str(), kDelimiter.c_str(), error, workingPath);
    const bool gif = std::strcmp(extension, "gif") == 0 || std::strcmp(extension, "GIF") == 0;
    if (std::strcmp(extension, "bmp") == 0) {
        Check(error == -60, "bmp refused");
    } else if (error != 0) {
        Check(error == -50 || error == -30, "only conversion or empty file fail");
        Check(error != -30 || content.empty() || gif, "-30 only for an empty file");
    } else {
        std::string bytes(static_cast<std::size_t>(part.length()), '\0');
        Check(part.WriteTo(bytes.data()) == 0, "written");
        const std::string image = ReadFile(gif ? jpegPath : path);
        Check(!gif || content.empty() || image != content, "a GIF is sent converted");
        const std::string tail = "\r\n" + kDelimiter + "--\r\n";
        Check(bytes.compare(0, kDelimiter.size(), kDelimiter) == 0, "starts with the delimiter");
        Check(bytes.size() > image.size() + tail.size(), "room for head, image and tail");
        Check(bytes.compare(bytes.size() - tail.size(), tail.size(), tail) == 0, "tail");
        Check(bytes.compare(bytes.size() - tail.size() - image.size(), image.size(), image) == 0,
              "the file's bytes unchanged before the tail");
    }
    unlink(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("LC_ALL", "C.UTF-8", 1);
    char folder[] = "/tmp/pushnote-fuzz-XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    g_folder = folder;
    std::atexit([] { std::filesystem::remove_all(g_folder); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const char* extension = kExtensions[data[0] % (sizeof kExtensions / sizeof *kExtensions)];
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t zero = rest.find('\0');
    const std::string text = rest.substr(0, zero);
    const std::string content = zero == std::string::npos ? "" : rest.substr(zero + 1);

    CheckDetectImageType(text);
    CheckMessagePart(text);
    CheckImagePart(extension, content);
    return 0;
}
