// Composes one note as a mail and sends it: the mail test's client.
// mail_send_probe URL CA_FILE NOTE_ID MESSAGE_FILE [IMAGE_FILE IMAGE_TYPE IMAGE_NAME]
// Prints "delivered" or "failed permanent|temporary CODE: REPLY".
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "mail_address.h"
#include "mail_compose.h"
#include "smtp_send.h"

namespace {

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pushnote::inbox;
    if (argc != 5 && argc != 8) {
        std::cerr << "usage: mail_send_probe URL CA_FILE NOTE_ID MESSAGE_FILE"
                     " [IMAGE_FILE IMAGE_TYPE IMAGE_NAME]\n";
        return 2;
    }
    MailDestinationParse parsed = ParseMailDestination(argv[1]);
    if (!parsed.destination) {
        std::cout << "refused: " << parsed.error << "\n";
        return 2;
    }
    std::string message = ReadFile(argv[4]);
    std::string image = argc == 8 ? ReadFile(argv[5]) : std::string();
    MailNote note;
    note.id = std::stoll(argv[3]);
    note.receivedMs = 1'780'000'000'000;
    note.message = message;
    if (argc == 8) {
        note.image = image;
        note.imageType = argv[6];
        note.imageName = argv[7];
    }
    SmtpOptions options;
    options.caFile = argv[2];
    options.connectTimeout = std::chrono::seconds(5);
    options.attemptTimeout = std::chrono::seconds(20);
    SmtpResult result =
        SendMail(*parsed.destination, ComposeMail(note, *parsed.destination), options);
    if (result.delivered) {
        std::cout << "delivered\n";
        return 0;
    }
    std::cout << "failed " << (result.permanent ? "permanent " : "temporary ") << result.smtpCode
              << ": " << result.reply << "\n";
    return 1;
}
