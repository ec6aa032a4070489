#include <sys/stat.h>

#include <cstdio>

#include "command_failure.h"
#include "token_file_access.h"

namespace pushnote::command {

// As ssh does with private keys: any permission for group or others refuses it.
void RequirePrivateTokenFile(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return;
    const unsigned permissions = status.st_mode & 0777;
    if ((permissions & 077) == 0) return;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", permissions);
    throw CommandFailure("the token file " + path + " is open to others (mode " + mode +
                         "); make it private with: chmod 600 " + path);
}

}  // namespace pushnote::command
