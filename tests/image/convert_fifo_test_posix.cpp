// A FIFO named like a GIF must be refused at once: opening it for reading
// the usual way would wait for a writer that never comes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>

#include "image/convert_image_to_jpeg.h"
#include "image/scratch_folder.h"

namespace pushnote {
namespace {

TEST(ConvertImageToJpeg, RefusesAFifoWithoutWaitingForAWriter) {
    testing::ScratchFolder folder;
    const std::string fifo = folder.PathOf("pipe.gif");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto conversion = std::async(std::launch::async, [&] {
        WorkingPath destination;
        return ConvertImageToJpeg(fifo.c_str(), destination);
    });
    const bool returned =
        conversion.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!returned) {
        // Releases a conversion stuck in open(), so that the test can end.
        close(open(fifo.c_str(), O_WRONLY));
    }
    EXPECT_TRUE(returned) << "the conversion waited for a writer";
    EXPECT_FALSE(conversion.get());
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"pipe.gif"}));
}

}  // namespace
}  // namespace pushnote
