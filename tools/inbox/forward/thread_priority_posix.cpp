#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "thread_priority.h"

namespace pushnote::inbox {

void LowerThreadPriority() noexcept {
    // On Linux a nice value belongs to the thread, named by its id.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, thread, 10);
}

}  // namespace pushnote::inbox
