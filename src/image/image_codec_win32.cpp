// The image conversion layer on Windows: Windows Imaging Component decodes and
// encodes, a strip of rows at a time, inside a COM apartment joined for each
// call.
#include <windows.h>

#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "base/memory.h"
#include "image/com_support_win32.h"
#include "image/flatten_over_white_win32.h"
#include "image/image_codec.h"

namespace pushnote::image {
namespace {

// Rows copied out of the decoder and handed to the sink at a time.
constexpr UINT kStripRows = 16;
constexpr UINT kBgraBytes = 4;
constexpr UINT kBgrBytes = 3;

bool CreateFactory(ComPtr<IWICImagingFactory>& factory) {
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, factory.ReceiveVoid()));
}

// A 16-bit number of the GIF's metadata, such as "/logscrdesc/Width".
bool ReadMetadataNumber(IWICMetadataQueryReader* reader, const wchar_t* name,
                        std::uint32_t& number) {
    PROPVARIANT value{};
    const bool found = SUCCEEDED(reader->GetMetadataByName(name, &value)) && value.vt == VT_UI2;
    if (found) number = value.uiVal;
    PropVariantClear(&value);
    return found;
}

// Where the first frame lies on the GIF's logical screen. Each WIC frame is
// only the frame's own rectangle; without the metadata, the frame is the canvas.
struct Placement {
    std::uint32_t canvasWidth = 0;
    std::uint32_t canvasHeight = 0;
    std::uint32_t left = 0;
    std::uint32_t top = 0;
};

Placement PlaceFrame(IWICBitmapDecoder* decoder, IWICBitmapFrameDecode* frame,
                     std::uint32_t frameWidth, std::uint32_t frameHeight) {
    Placement placement{frameWidth, frameHeight, 0, 0};
    ComPtr<IWICMetadataQueryReader> screen;
    ComPtr<IWICMetadataQueryReader> descriptor;
    Placement read{};
    if (SUCCEEDED(decoder->GetMetadataQueryReader(screen.Receive())) &&
        SUCCEEDED(frame->GetMetadataQueryReader(descriptor.Receive())) &&
        ReadMetadataNumber(screen.get(), L"/logscrdesc/Width", read.canvasWidth) &&
        ReadMetadataNumber(screen.get(), L"/logscrdesc/Height", read.canvasHeight) &&
        ReadMetadataNumber(descriptor.get(), L"/imgdesc/Left", read.left) &&
        ReadMetadataNumber(descriptor.get(), L"/imgdesc/Top", read.top) && read.canvasWidth > 0 &&
        read.canvasHeight > 0) {
        placement = read;
    }
    return placement;
}

// The frame in 32-bit BGRA. Wine's converter refuses indexed pixels to 24-bit
// BGR, so the alpha is dropped by FlattenBgraOverWhite instead.
bool ConvertToBgra(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame,
                   ComPtr<IWICFormatConverter>& converter) {
    return SUCCEEDED(factory->CreateFormatConverter(converter.Receive())) &&
           SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA,
                                           WICBitmapDitherTypeNone, nullptr, 0.0,
                                           WICBitmapPaletteTypeCustom));
}

// Copies the canvas strip by strip: rows the frame does not cover stay at zero
// alpha, which flattens to white.
bool CopyCanvas(IWICFormatConverter* converter, const Placement& placement, UINT frameWidth,
                UINT frameHeight, ScanlineSink& sink) {
    const UINT stride = placement.canvasWidth * kBgraBytes;
    const std::size_t stripSize = static_cast<std::size_t>(stride) * kStripRows;
    Buffer strip = Buffer::Obtain(stripSize);
    if (!strip || !sink.Start(placement.canvasWidth, placement.canvasHeight)) return false;
    auto* bytes = reinterpret_cast<BYTE*>(strip.data());

    const bool visible =
        placement.left < placement.canvasWidth && placement.top < placement.canvasHeight;
    const UINT copyWidth =
        visible ? std::min<UINT>(frameWidth, placement.canvasWidth - placement.left) : 0;
    const UINT frameEnd =
        visible
            ? placement.top + std::min<UINT>(frameHeight, placement.canvasHeight - placement.top)
            : 0;
    for (UINT y = 0; y < placement.canvasHeight; y += kStripRows) {
        const UINT rows = std::min<UINT>(kStripRows, placement.canvasHeight - y);
        std::memset(bytes, 0, stripSize);
        const UINT first = std::max(y, placement.top);
        const UINT end = std::min(y + rows, frameEnd);
        if (visible && first < end) {
            const WICRect rectangle{0, static_cast<INT>(first - placement.top),
                                    static_cast<INT>(copyWidth), static_cast<INT>(end - first)};
            const std::size_t offset =
                static_cast<std::size_t>(first - y) * stride + placement.left * kBgraBytes;
            if (FAILED(converter->CopyPixels(
                    &rectangle, stride, static_cast<UINT>(stripSize - offset), bytes + offset))) {
                return false;
            }
        }
        FlattenBgraOverWhite(bytes, static_cast<std::size_t>(placement.canvasWidth) * rows);
        if (!sink.Write(bytes, rows)) return false;
    }
    return true;
}

// The first frame of a GIF the decoder has opened, onto its canvas.
bool DecodeFirstFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, ScanlineSink& sink) {
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    GUID container{};
    UINT frameWidth = 0;
    UINT frameHeight = 0;
    if (FAILED(decoder->GetContainerFormat(&container)) ||
        !IsEqualGUID(container, GUID_ContainerFormatGif) ||
        FAILED(decoder->GetFrame(0, frame.Receive())) ||
        FAILED(frame->GetSize(&frameWidth, &frameHeight)) ||
        !ConvertToBgra(factory, frame.get(), converter)) {
        return false;
    }
    const Placement placement = PlaceFrame(decoder, frame.get(), frameWidth, frameHeight);
    return IsAcceptableSize(placement.canvasWidth, placement.canvasHeight) &&
           CopyCanvas(converter.get(), placement, frameWidth, frameHeight, sink);
}

// Writes the rows it is given to a baseline JPEG file as they arrive.
class JpegFileEncoder final : public ScanlineSink {
public:
    JpegFileEncoder(IWICImagingFactory* factory, const PathChar* path) noexcept {
        ready_ = SUCCEEDED(factory->CreateStream(stream_.Receive())) &&
                 SUCCEEDED(stream_->InitializeFromFilename(path, GENERIC_WRITE)) &&
                 SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr,
                                                  encoder_.Receive())) &&
                 SUCCEEDED(encoder_->Initialize(stream_.get(), WICBitmapEncoderNoCache)) &&
                 SUCCEEDED(encoder_->CreateNewFrame(frame_.Receive(), options_.Receive()));
    }

    bool Start(std::uint32_t width, std::uint32_t height) noexcept override {
        if (!ready_ || !IsAcceptableSize(width, height)) return false;
        PROPBAG2 option{};
        option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT quality{};
        quality.vt = VT_R4;
        quality.fltVal = static_cast<float>(kJpegQuality) / 100.0f;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        stride_ = width * kBgrBytes;
        return SUCCEEDED(options_->Write(1, &option, &quality)) &&
               SUCCEEDED(frame_->Initialize(options_.get())) &&
               SUCCEEDED(frame_->SetSize(width, height)) &&
               SUCCEEDED(frame_->SetPixelFormat(&format)) &&
               IsEqualGUID(format, GUID_WICPixelFormat24bppBGR);
    }

    bool Write(const unsigned char* rows, std::uint32_t rowCount) noexcept override {
        // WIC reads the rows only; its signature lacks the const.
        return SUCCEEDED(
            frame_->WritePixels(rowCount, stride_, stride_ * rowCount, const_cast<BYTE*>(rows)));
    }

    bool Finish() noexcept { return SUCCEEDED(frame_->Commit()) && SUCCEEDED(encoder_->Commit()); }

private:
    ComPtr<IWICStream> stream_;
    ComPtr<IWICBitmapEncoder> encoder_;
    ComPtr<IWICBitmapFrameEncode> frame_;
    ComPtr<IPropertyBag2> options_;
    UINT stride_ = 0;
    bool ready_ = false;
};

bool OpenDecoder(IWICImagingFactory* factory, files::ReadOnlyFile& gif,
                 ComPtr<IWICBitmapDecoder>& decoder) {
    return gif && SUCCEEDED(factory->CreateDecoderFromFileHandle(
                      static_cast<ULONG_PTR>(gif.native()), nullptr, WICDecodeMetadataCacheOnDemand,
                      decoder.Receive()));
}

}  // namespace

bool DecodeGifFrame(files::ReadOnlyFile& gif, ScanlineSink& sink) noexcept {
    ComApartment apartment;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    return apartment && CreateFactory(factory) && OpenDecoder(factory.get(), gif, decoder) &&
           DecodeFirstFrame(factory.get(), decoder.get(), sink);
}

bool DecodeGifFrame(const unsigned char* gif, std::size_t size, ScanlineSink& sink) noexcept {
    ComApartment apartment;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    // The stream only reads the bytes; its signature lacks the const.
    return size > 0 && size <= UINT_MAX && apartment && CreateFactory(factory) &&
           SUCCEEDED(factory->CreateStream(stream.Receive())) &&
           SUCCEEDED(
               stream->InitializeFromMemory(const_cast<BYTE*>(gif), static_cast<DWORD>(size))) &&
           SUCCEEDED(factory->CreateDecoderFromStream(
               stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Receive())) &&
           DecodeFirstFrame(factory.get(), decoder.get(), sink);
}

bool ConvertGifToJpeg(files::ReadOnlyFile& gif, const PathChar* jpegPath) noexcept {
    ComApartment apartment;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    if (!apartment || !CreateFactory(factory) || !OpenDecoder(factory.get(), gif, decoder)) {
        return false;
    }
    JpegFileEncoder jpeg(factory.get(), jpegPath);
    return DecodeFirstFrame(factory.get(), decoder.get(), jpeg) && jpeg.Finish();
}

}  // namespace pushnote::image
