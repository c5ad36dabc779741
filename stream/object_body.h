// Typed views of a HostObject's payload, which starts right after the
// 24-byte common header.
#ifndef JAVTRG_OBJECT_BODY_H
#define JAVTRG_OBJECT_BODY_H

#include <javtrg/host_services.h>

template <typename Body>
inline Body* JAVtBody(HostObject* object) {
    return reinterpret_cast<Body*>(reinterpret_cast<unsigned char*>(object) + kHostObjectPayloadOffset);
}

template <typename Body>
inline const Body* JAVtBody(const HostObject* object) {
    return reinterpret_cast<const Body*>(reinterpret_cast<const unsigned char*>(object) + kHostObjectPayloadOffset);
}

#endif
