// Apart from the core's headers: the public header's inline senders would
// otherwise meet the core's senders of the same names.
#include "form_text.h"

#include "pushnote.hpp"

namespace pushnote::command {

std::string EscapeFormText(std::string_view message) {
    return escape_form_text(message);
}

}  // namespace pushnote::command
