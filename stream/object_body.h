// SPDX-License-Identifier: MIT
// Typed views of a HostObject's payload, which starts right after the
// 24-byte common header.
#ifndef JAVTRG_OBJECT_BODY_H
#define JAVTRG_OBJECT_BODY_H

#include <cstring>

#include <javtrg/host_services.h>

template <typename Body>
inline Body* JAVtBody(HostObject* object) {
    return reinterpret_cast<Body*>(reinterpret_cast<unsigned char*>(object) + kHostObjectPayloadOffset);
}

template <typename Body>
inline const Body* JAVtBody(const HostObject* object) {
    return reinterpret_cast<const Body*>(reinterpret_cast<const unsigned char*>(object) + kHostObjectPayloadOffset);
}

// Copies a body of a few hundred bytes (a fill, a paragraph) in 16-byte
// blocks, the last block overlapping the one before when the size is no
// multiple of 16: a plain memcpy of that size compiles to a string move
// whose start-up costs more than the copy.
template <typename Body>
inline void JAVtCopyBody(Body* to, const Body* from) {
    static_assert(sizeof(Body) >= 16, "a body of at least one block");
    auto* out = reinterpret_cast<unsigned char*>(to);
    const auto* in = reinterpret_cast<const unsigned char*>(from);
    for (size_t offset = 0; offset + 16 <= sizeof(Body); offset += 16) std::memcpy(out + offset, in + offset, 16);
    if (sizeof(Body) % 16 != 0) std::memcpy(out + sizeof(Body) - 16, in + sizeof(Body) - 16, 16);
}

#endif
