// A host may call with COM already joined on its thread, in either mode, or
// not at all; the conversion must work in each case and leave the thread's
// COM state as it found it.
#include <windows.h>

#include <objbase.h>

#include <gtest/gtest.h>

#include "image/convert_image_to_jpeg.h"
#include "image/gif_writer.h"
#include "image/native_path_of.h"
#include "image/scratch_folder.h"

namespace pushnote {
namespace {

std::string TinyGif() {
    testing::GifPicture picture{8, 8, {{0, 0, 0}}, {}};
    picture.frames.push_back(testing::FullFrame(8, 8, [](int, int) { return 0; }));
    return testing::EncodeGif(picture);
}

bool Convert() {
    testing::ScratchFolder folder;
    WorkingPath destination;
    return ConvertImageToJpeg(testing::NativePathOf(folder.Write("a.gif", TinyGif())).c_str(),
                              destination);
}

TEST(ConvertImageToJpegOnAComThread, LeavesAThreadWithoutComWithoutIt) {
    ASSERT_TRUE(Convert());
    // S_OK, not S_FALSE: nothing of ours stayed initialised.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
}

TEST(ConvertImageToJpegOnAComThread, WorksInTheHostsApartmentOfEitherMode) {
    for (DWORD mode : {COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED}) {
        SCOPED_TRACE(mode == COINIT_MULTITHREADED ? "multithreaded" : "apartment threaded");
        ASSERT_EQ(CoInitializeEx(nullptr, mode), S_OK);
        EXPECT_TRUE(Convert());
        // Still joined in the host's mode, once: the next join counts again.
        EXPECT_EQ(CoInitializeEx(nullptr, mode), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, mode), S_OK);
        CoUninitialize();
    }
}

}  // namespace
}  // namespace pushnote
