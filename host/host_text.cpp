// Text services of the reference host: encodings, transforms, object lists.
#include "host/reference_host.h"

namespace refhost {

void installTextOperations(HostServices*, HostSession*) {}

const char* encodingName(int32_t, bool) { return nullptr; }

bool encodeText(const std::string&, int32_t, bool, std::string*) { return false; }

}  // namespace refhost
