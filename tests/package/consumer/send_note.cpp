// send_note_cpp MESSAGE: sends MESSAGE through pushnote.hpp with the token in
// PUSHNOTE_TOKEN; a failure prints the result code in words and exits with 1.
#include <cstdlib>
#include <iostream>
#include <pushnote.hpp>

int main(int argc, char** argv) {
    const char* token = std::getenv("PUSHNOTE_TOKEN");
    if (argc != 2 || token == nullptr) {
        std::cerr << "usage: send_note_cpp MESSAGE (with the token in PUSHNOTE_TOKEN)\n";
        return 2;
    }
    if (!pushnote::set_token(token)) {
        std::cerr << "send_note_cpp: the access token is refused\n";
        return 1;
    }
    if (const std::error_code error = pushnote::send(argv[1])) {
        std::cerr << "send_note_cpp: " << error.category().name() << ": " << error.message() << " ("
                  << error.value() << ")\n";
        return 1;
    }
    return 0;
}
