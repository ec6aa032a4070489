#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "base/memory.h"
#include "image/image_codec.h"

namespace pushnote::image {

// Encodes the rows it is given into a baseline JPEG in memory, one strip at a
// time: only the compressed bytes grow with the picture.
class JpegEncoder final : public ScanlineSink {
public:
    JpegEncoder() noexcept;
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    bool Start(std::uint32_t width, std::uint32_t height) noexcept override;
    bool Write(const unsigned char* rows, std::uint32_t rowCount) noexcept override;
    // After the last row: completes the file. False when rows are missing.
    bool Finish() noexcept;

    const char* data() const noexcept { return output_.data(); }
    std::size_t size() const noexcept { return used_; }

private:
    // libjpeg reports failures by calling error_exit, which must not return:
    // it jumps back to the guarded call, whose frame holds nothing to destroy.
    struct ErrorManager {
        jpeg_error_mgr base;
        std::jmp_buf resume;
    };

    bool WriteScanlines(JSAMPROW* rows, std::uint32_t count) noexcept;

    static void OnError(j_common_ptr compress);
    static void InitDestination(j_compress_ptr compress);
    static boolean GrowDestination(j_compress_ptr compress);
    static void TermDestination(j_compress_ptr compress);

    jpeg_compress_struct compress_{};
    ErrorManager error_{};
    jpeg_destination_mgr destination_{};
    Buffer output_;
    std::size_t used_ = 0;
    std::uint32_t width_ = 0;
    bool created_ = false;
    bool started_ = false;
};

}  // namespace pushnote::image
