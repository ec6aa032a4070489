#include <turbojpeg.h>

#include <fstream>
#include <iterator>

#include "image/jpeg_probe.h"

namespace pushnote::testing {

DecodedJpeg DecodeJpegFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto* bytes = reinterpret_cast<unsigned char*>(data.data());

    DecodedJpeg result;
    tjhandle decoder = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (!data.empty() && tjDecompressHeader3(decoder, bytes, data.size(), &width, &height,
                                             &subsampling, &colourspace) == 0) {
        std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
        if (tjDecompress2(decoder, bytes, data.size(), rgb.data(), width, 0, height, TJPF_RGB, 0) ==
            0) {
            result.decoded = true;
            result.width = static_cast<std::uint32_t>(width);
            result.height = static_cast<std::uint32_t>(height);
            for (std::size_t i = 0; i < rgb.size(); i += 3) {
                result.pixels.push_back(Rgb{rgb[i], rgb[i + 1], rgb[i + 2]});
            }
        }
    }
    tjDestroy(decoder);
    return result;
}

}  // namespace pushnote::testing
