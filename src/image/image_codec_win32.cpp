// The image conversion layer on Windows: Windows Imaging Component decodes and
// encodes, inside a COM apartment joined for each step.
#include <windows.h>

#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "image/com_support_win32.h"
#include "image/flatten_over_white_win32.h"
#include "image/image_codec.h"

namespace pushnote::image {
namespace {

bool WidenPath(const char* path, wchar_t (&wide)[MAX_PATH]) {
    return MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) != 0;
}

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

}  // namespace

LoadedImage LoadGifImage(const char* path) noexcept {
    wchar_t widePath[MAX_PATH];
    ComApartment apartment;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    GUID container{};
    UINT frameWidth = 0;
    UINT frameHeight = 0;
    if (!WidenPath(path, widePath) || !apartment || !CreateFactory(factory) ||
        FAILED(factory->CreateDecoderFromFilename(
            widePath, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, decoder.Receive())) ||
        FAILED(decoder->GetContainerFormat(&container)) ||
        !IsEqualGUID(container, GUID_ContainerFormatGif) ||
        FAILED(decoder->GetFrame(0, frame.Receive())) ||
        FAILED(frame->GetSize(&frameWidth, &frameHeight)) ||
        !ConvertToBgra(factory.get(), frame.get(), converter)) {
        return {};
    }

    const Placement placement = PlaceFrame(decoder.get(), frame.get(), frameWidth, frameHeight);
    if (!IsAcceptableSize(placement.canvasWidth, placement.canvasHeight)) return {};
    const std::uint64_t stride = static_cast<std::uint64_t>(placement.canvasWidth) * 4;
    const std::uint64_t size = stride * placement.canvasHeight;
    if (size > UINT_MAX || size > SIZE_MAX) return {};

    LoadedImage image;
    image.width = placement.canvasWidth;
    image.height = placement.canvasHeight;
    // Zero alpha: what the frame does not cover flattens to white.
    image.pixels = Buffer::ObtainZeroed(static_cast<std::size_t>(size));
    if (!image.pixels) return {};

    if (placement.left < placement.canvasWidth && placement.top < placement.canvasHeight) {
        const UINT copyWidth = std::min<UINT>(frameWidth, placement.canvasWidth - placement.left);
        const UINT copyHeight = std::min<UINT>(frameHeight, placement.canvasHeight - placement.top);
        const std::size_t offset =
            static_cast<std::size_t>(placement.top * stride + placement.left * 4ull);
        const WICRect rectangle{0, 0, static_cast<INT>(copyWidth), static_cast<INT>(copyHeight)};
        auto* start = reinterpret_cast<BYTE*>(image.pixels.data()) + offset;
        if (FAILED(converter->CopyPixels(&rectangle, static_cast<UINT>(stride),
                                         static_cast<UINT>(size - offset), start))) {
            return {};
        }
    }
    FlattenBgraOverWhite(reinterpret_cast<unsigned char*>(image.pixels.data()),
                         static_cast<std::size_t>(image.width) * image.height);
    return image;
}

bool SaveJpegImage(const LoadedImage& image, const char* path) noexcept {
    if (!image || !IsAcceptableSize(image.width, image.height)) return false;
    const UINT stride = image.width * 3;
    const std::uint64_t size = static_cast<std::uint64_t>(stride) * image.height;
    if (size > UINT_MAX) return false;

    wchar_t widePath[MAX_PATH];
    ComApartment apartment;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (!WidenPath(path, widePath) || !apartment || !CreateFactory(factory) ||
        FAILED(factory->CreateStream(stream.Receive())) ||
        FAILED(stream->InitializeFromFilename(widePath, GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.Receive())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.Receive(), options.Receive()))) {
        return false;
    }

    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT quality{};
    quality.vt = VT_R4;
    quality.fltVal = static_cast<float>(kJpegQuality) / 100.0f;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    return SUCCEEDED(options->Write(1, &option, &quality)) &&
           SUCCEEDED(frame->Initialize(options.get())) &&
           SUCCEEDED(frame->SetSize(image.width, image.height)) &&
           SUCCEEDED(frame->SetPixelFormat(&format)) &&
           IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) &&
           SUCCEEDED(frame->WritePixels(image.height, stride, static_cast<UINT>(size),
                                        reinterpret_cast<BYTE*>(image.pixels.data()))) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace pushnote::image
