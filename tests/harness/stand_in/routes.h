#pragma once

#include <httplib.h>

#include "recorder.h"

namespace pushnote::stand_in {

// Installs the notify route, the GET routes and a recording 404 for the rest.
void InstallRoutes(httplib::Server& server, Recorder& recorder);

}  // namespace pushnote::stand_in
