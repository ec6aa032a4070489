// Decodes with Windows Imaging Component, as a Windows host would see the file.
#include <windows.h>

#include <wincodec.h>

#include "image/com_support_win32.h"
#include "image/jpeg_probe.h"

namespace pushnote::testing {

using image::ComApartment;
using image::ComPtr;

DecodedJpeg DecodeJpegFile(const std::string& path) {
    DecodedJpeg result;
    wchar_t widePath[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH)) return result;
    ComApartment apartment;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    GUID container{};
    UINT width = 0, height = 0;
    if (!apartment ||
        FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory.ReceiveVoid())) ||
        FAILED(factory->CreateDecoderFromFilename(
            widePath, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, decoder.Receive())) ||
        FAILED(decoder->GetContainerFormat(&container)) ||
        !IsEqualGUID(container, GUID_ContainerFormatJpeg) ||
        FAILED(decoder->GetFrame(0, frame.Receive())) || FAILED(frame->GetSize(&width, &height)) ||
        FAILED(factory->CreateFormatConverter(converter.Receive())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return result;
    }
    std::vector<BYTE> bgra(static_cast<std::size_t>(width) * height * 4);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgra.size()),
                                     bgra.data()))) {
        return result;
    }
    result.decoded = true;
    result.width = width;
    result.height = height;
    for (std::size_t i = 0; i < bgra.size(); i += 4) {
        result.pixels.push_back(Rgb{bgra[i + 2], bgra[i + 1], bgra[i]});
    }
    return result;
}

}  // namespace pushnote::testing
