// The image conversion layer on Linux: giflib reads the GIF's records, our LZW
// decoder its pixels line by line, and the rows go straight on to
// libjpeg-turbo's encoder.
#include <gif_lib.h>

#include "base/memory.h"
#include "image/file_services.h"
#include "image/gif_canvas_posix.h"
#include "image/gif_frame_rows_posix.h"
#include "image/gif_records_posix.h"
#include "image/gif_rows_posix.h"
#include "image/image_codec.h"
#include "image/jpeg_encoder_posix.h"
#include "image/lzw_decoder.h"
#include "image/pipelined_sink_posix.h"

namespace pushnote::image {
namespace {

constexpr std::size_t kReadAhead = 64 * 1024;

bool DecodeFrame(GifFileType* gif, int transparentIndex, ScanlineSink& sink) {
    Layout layout;
    const ColorMapObject* colours = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    if (!colours || !LayOut(gif, layout)) return false;
    const Palette palette(*colours, transparentIndex);
    int minimumCodeSize = 0;
    CodeBlocks blocks{gif, nullptr};
    if (DGifGetCode(gif, &minimumCodeSize, &blocks.block) != GIF_OK) return false;
    LzwDecoder pixels(minimumCodeSize, &NextCodeBlock, &blocks);
    StripWriter strips(sink, layout.canvasWidth);
    if (!pixels || !strips || !sink.Start(layout.canvasWidth, layout.canvasHeight)) return false;
    return gif->Image.Interlace ? GatherInterlacedRows(pixels, layout, palette, strips)
                                : StreamRows(pixels, layout, palette, strips);
}

// Reads record by record and stops after the first image: later frames of an
// animation are never decoded.
bool Decode(void* input, InputFunc read, ScanlineSink& sink) {
    GifFile gif(DGifOpen(input, read, nullptr));
    if (!gif) return false;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) != GIF_OK) return false;
        if (record == EXTENSION_RECORD_TYPE) {
            if (!ReadExtension(gif.get(), transparentIndex)) return false;
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            return DGifGetImageDesc(gif.get()) == GIF_OK &&
                   DecodeFrame(gif.get(), transparentIndex, sink);
        } else {
            // The trailer before any image, or a record giflib cannot place.
            return false;
        }
    }
}

}  // namespace

bool DecodeGifFrame(files::ReadOnlyFile& gif, ScanlineSink& sink) noexcept {
    if (!gif) return false;
    FileInput input{static_cast<int>(gif.native()), Buffer::Obtain(kReadAhead)};
    return input.ahead && Decode(&input, &ReadFromFile, sink);
}

bool DecodeGifFrame(const unsigned char* gif, std::size_t size, ScanlineSink& sink) noexcept {
    MemoryInput input{gif, size};
    return Decode(&input, &ReadFromMemory, sink);
}

// Decoding on the caller's thread overlaps encoding on a second one.
bool ConvertGifToJpeg(files::ReadOnlyFile& gif, const char* jpegPath) noexcept {
    JpegEncoder jpeg;
    PipelinedSink pipeline(jpeg);
    return DecodeGifFrame(gif, pipeline) && pipeline.Finish() && jpeg.Finish() &&
           files::WriteWholeFile(jpegPath, jpeg.data(), jpeg.size());
}

}  // namespace pushnote::image
