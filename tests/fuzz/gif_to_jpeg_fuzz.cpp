// libFuzzer target: the whole conversion from memory, GIF bytes in and JPEG
// bytes out, as ConvertGifToJpeg runs it (decoder, pipeline, encoder). Run
// with -timeout: a frame that claims far more than its canvas shows must cost
// no more than the canvas and the bytes it came in.
#include <cstdint>

#include "image/image_codec.h"
#include "image/jpeg_encoder_posix.h"
#include "image/pipelined_sink_posix.h"

namespace {

// Encoding takes as long as the canvas's pixels, whatever the GIF: canvases
// past this are declined, frames of any size are not.
constexpr std::uint64_t kLargestCanvas = 1u << 22;

class CanvasLimit final : public pushnote::image::ScanlineSink {
public:
    explicit CanvasLimit(pushnote::image::ScanlineSink& next) : next_(next) {}
    bool Start(std::uint32_t width, std::uint32_t height) noexcept override {
        return std::uint64_t{width} * height <= kLargestCanvas && next_.Start(width, height);
    }
    bool Write(const unsigned char* rows, std::uint32_t count) noexcept override {
        return next_.Write(rows, count);
    }

private:
    pushnote::image::ScanlineSink& next_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pushnote::image::JpegEncoder jpeg;
    pushnote::image::PipelinedSink pipeline(jpeg);
    CanvasLimit limit(pipeline);
    const bool decoded = pushnote::image::DecodeGifFrame(data, size, limit);
    // The pipeline is finished on every path, so that its thread ends.
    if (pipeline.Finish() && decoded) jpeg.Finish();
    return 0;
}
