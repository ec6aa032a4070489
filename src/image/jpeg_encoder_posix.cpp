// The JPEG encoder on Linux: the libjpeg API of libjpeg-turbo, fed scanlines.
#include "image/jpeg_encoder_posix.h"

#include <algorithm>
#include <cstring>

namespace pushnote::image {
namespace {

constexpr int kBytesPerPixel = 3;
// Rows handed to libjpeg per call: one 4:2:0 MCU row.
constexpr std::uint32_t kRowsPerCall = 16;
constexpr std::size_t kMinimumOutput = 64 * 1024;

JpegEncoder& EncoderOf(j_compress_ptr compress) {
    return *static_cast<JpegEncoder*>(compress->client_data);
}

}  // namespace

JpegEncoder::JpegEncoder() noexcept {
    compress_.err = jpeg_std_error(&error_.base);
    error_.base.error_exit = &OnError;
    // Warnings and traces stay quiet: a library must not write to stderr.
    error_.base.output_message = [](j_common_ptr) {};
    compress_.client_data = this;
    destination_.init_destination = &InitDestination;
    destination_.empty_output_buffer = &GrowDestination;
    destination_.term_destination = &TermDestination;
    if (setjmp(error_.resume)) return;
    jpeg_create_compress(&compress_);
    created_ = true;
}

JpegEncoder::~JpegEncoder() {
    if (created_) jpeg_destroy_compress(&compress_);
}

void JpegEncoder::OnError(j_common_ptr compress) {
    auto* error = reinterpret_cast<ErrorManager*>(compress->err);
    std::longjmp(error->resume, 1);
}

// The first guess holds half a byte per pixel, more than most pictures need
// at this quality; pages never written cost no memory.
void JpegEncoder::InitDestination(j_compress_ptr compress) {
    JpegEncoder& encoder = EncoderOf(compress);
    const std::size_t guess =
        std::max<std::size_t>(kMinimumOutput, static_cast<std::size_t>(compress->image_width) *
                                                  compress->image_height / 2);
    encoder.output_ = Buffer::Obtain(guess);
    if (!encoder.output_) compress->err->error_exit(reinterpret_cast<j_common_ptr>(compress));
    encoder.destination_.next_output_byte = reinterpret_cast<JOCTET*>(encoder.output_.data());
    encoder.destination_.free_in_buffer = encoder.output_.size();
}

// Called with the whole buffer full: doubles it.
boolean JpegEncoder::GrowDestination(j_compress_ptr compress) {
    JpegEncoder& encoder = EncoderOf(compress);
    const std::size_t full = encoder.output_.size();
    Buffer larger = full <= SIZE_MAX / 2 ? Buffer::Obtain(full * 2) : Buffer();
    if (!larger) compress->err->error_exit(reinterpret_cast<j_common_ptr>(compress));
    std::memcpy(larger.data(), encoder.output_.data(), full);
    encoder.output_ = std::move(larger);
    encoder.destination_.next_output_byte =
        reinterpret_cast<JOCTET*>(encoder.output_.data() + full);
    encoder.destination_.free_in_buffer = encoder.output_.size() - full;
    return TRUE;
}

void JpegEncoder::TermDestination(j_compress_ptr compress) {
    JpegEncoder& encoder = EncoderOf(compress);
    encoder.used_ = encoder.output_.size() - encoder.destination_.free_in_buffer;
}

bool JpegEncoder::Start(std::uint32_t width, std::uint32_t height) noexcept {
    if (!created_ || started_ || !IsAcceptableSize(width, height)) return false;
    compress_.dest = &destination_;
    compress_.image_width = width;
    compress_.image_height = height;
    compress_.input_components = kBytesPerPixel;
    compress_.in_color_space = JCS_EXT_BGR;
    if (setjmp(error_.resume)) return false;
    jpeg_set_defaults(&compress_);
    jpeg_set_quality(&compress_, kJpegQuality, TRUE);
    // The fast integer DCT: below quality 96 its error hides under the
    // quantisation's.
    compress_.dct_method = JDCT_IFAST;
    jpeg_start_compress(&compress_, TRUE);
    width_ = width;
    started_ = true;
    return true;
}

bool JpegEncoder::Write(const unsigned char* rows, std::uint32_t rowCount) noexcept {
    if (!started_) return false;
    const std::size_t stride = static_cast<std::size_t>(width_) * kBytesPerPixel;
    JSAMPROW pointers[kRowsPerCall];
    while (rowCount > 0) {
        const std::uint32_t count = std::min(rowCount, kRowsPerCall);
        for (std::uint32_t i = 0; i < count; ++i) {
            // libjpeg never writes through its input rows.
            pointers[i] = const_cast<JSAMPROW>(rows + i * stride);
        }
        if (!WriteScanlines(pointers, count)) return false;
        rows += count * stride;
        rowCount -= count;
    }
    return true;
}

// Apart from Write, whose loop state a jump back would leave undefined.
bool JpegEncoder::WriteScanlines(JSAMPROW* rows, std::uint32_t count) noexcept {
    if (setjmp(error_.resume)) return false;
    return jpeg_write_scanlines(&compress_, rows, count) == count;
}

bool JpegEncoder::Finish() noexcept {
    if (!started_ || compress_.next_scanline != compress_.image_height) return false;
    if (setjmp(error_.resume)) return false;
    jpeg_finish_compress(&compress_);
    return true;
}

}  // namespace pushnote::image
