// Notes a running pushnote-inbox stores per second, posted one after another
// over one keep-alive HTTPS connection: form-encoded text notes, then
// multipart notes with an image.
//   inbox_bench PORT CA_FILE TEXT_NOTES IMAGE_NOTES IMAGE_FILE
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <httplib.h>

namespace {

using Clock = std::chrono::steady_clock;

// Sends count notes made by post; prints and returns notes per second, or -1.
template <typename Post>
double Measure(const char* what, int count, Post post) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const httplib::Result result = post(i);
        if (!result || result->status != 200) {
            std::fprintf(stderr, "inbox_bench: %s note %d failed (%s, status %d)\n", what, i,
                         httplib::to_string(result.error()).c_str(), result ? result->status : 0);
            return -1;
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double rate = count / seconds;
    std::printf("%-28s %6d notes in %7.3f s = %8.0f notes/s (%.3f ms each)\n", what, count, seconds,
                rate, 1000 * seconds / count);
    return rate;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: inbox_bench PORT CA_FILE TEXT_NOTES IMAGE_NOTES IMAGE_FILE\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int textNotes = std::atoi(argv[3]);
    const int imageNotes = std::atoi(argv[4]);
    std::ifstream in(argv[5], std::ios::binary);
    const std::string image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    httplib::SSLClient client("localhost", port);
    client.set_ca_cert_path(argv[2]);
    client.enable_server_certificate_verification(true);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    const httplib::Headers headers{{"Authorization", "Bearer bench-token"}};

    const double text = Measure("text notes", textNotes, [&](int i) {
        return client.Post("/api/notify", headers, "message=Bench+note+" + std::to_string(i),
                           "application/x-www-form-urlencoded");
    });
    char label[64];
    std::snprintf(label, sizeof label, "image notes (%zu KB)", image.size() / 1000);
    const double images = Measure(label, imageNotes, [&](int i) {
        const httplib::MultipartFormDataItems items{
            {"message", "Bench picture " + std::to_string(i), "", ""},
            {"imageFile", image, "picture.png", "image/png"}};
        return client.Post("/api/notify", headers, items);
    });
    return text > 0 && images > 0 ? 0 : 1;
}
