#include "platform/Hosts.h"

#include <cstdlib>

namespace quill {

std::string hostFromEnvironment(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    return value && *value ? value : fallback;
}

std::string makerHost() { return hostFromEnvironment("QUILLMARK_MAKER_HOST", "www.quillmarkbox.com"); }

std::string makerSiteAddress() { return "http://" + makerHost(); }

} // namespace quill
