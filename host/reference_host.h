// SPDX-License-Identifier: MIT
// The reference host: a real in-process host engine for the tests and the
// command-line tool, written against the driver's boundary header.
//
// It is made of parts, each in its own header and readable alone:
//   host_failures.h  failure injection and the call record
//   host_blocks.h    blocks and the ledger that tracks them
//   host_objects.h   objects and what they own (lists: host_lists.cpp)
//   host_text.h      text conversions and the font system
//   host_pictures.h  fill pictures, their conversion, picture elements
//   host_streams.h   output streams
// ReferenceHost puts them together with the tables a driver is handed, the
// target description, the session and the registration of one driver
// instance; every operation of the tables reaches its part through the
// host behind the table (hostOf).
#ifndef JAVTRG_REFERENCE_HOST_H
#define JAVTRG_REFERENCE_HOST_H

#include <cstdint>

#include <javtrg/host_services.h>

#include "host/host_blocks.h"
#include "host/host_failures.h"
#include "host/host_objects.h"
#include "host/host_pictures.h"
#include "host/host_streams.h"
#include "host/host_text.h"

namespace refhost {

// The host's tables with the owner after them, so that an operation can get
// back to its host from the table it is called with.
struct ServicesTable {
    HostServices table;
    ReferenceHost* owner;
};
struct SessionTable {
    HostSession table;
    ReferenceHost* owner;
};

class ReferenceHost : public FailureInjection,
                      public ObjectStore,
                      public TextSystem,
                      public PictureStore,
                      public StreamStore {
public:
    ReferenceHost();
    ~ReferenceHost();
    ReferenceHost(const ReferenceHost&) = delete;
    ReferenceHost& operator=(const ReferenceHost&) = delete;

    // The tables and records handed to a driver instance. params() names
    // the services and the session; its targetInfo is absent by default.
    HostServices* services() { return &services_.table; }
    HostSession* session() { return &session_.table; }
    TargetParams* params() { return &params_; }
    TargetInfo* info() { return &info_; }
    // Lets params()->targetInfo refer to info(), or not.
    void useTargetInfo(bool present);
    // Detaches the session (params()->hostSession absent) or reattaches it.
    void useSession(bool present);

    // The transform the host reports as current; absent until useTransform.
    HostTransform* transform() { return &transform_; }
    void useTransform(bool present) { transformAvailable_ = present; }
    bool transformAvailable() const { return transformAvailable_; }

    // Registration: the handle registerDriver hands out, and the picture
    // handler the driver installs.
    uint64_t hostHandle() const { return reinterpret_cast<uint64_t>(this); }
    SetTrgPictureFn pictureHandler() const { return pictureHandler_; }
    void setPictureHandler(SetTrgPictureFn handler) { pictureHandler_ = handler; }

private:
    void installTables();

    ServicesTable services_{};
    SessionTable session_{};
    TargetParams params_{};
    TargetInfo info_{};
    HostTransform transform_{};
    bool transformAvailable_ = false;
    SetTrgPictureFn pictureHandler_ = nullptr;
};

// The ReferenceHost behind a table the driver was given.
inline ReferenceHost* hostOf(HostServices* services) { return reinterpret_cast<ServicesTable*>(services)->owner; }
inline ReferenceHost* hostOf(HostSession* session) { return reinterpret_cast<SessionTable*>(session)->owner; }

// Installs the operations of each part into the tables (one file each).
void installObjectOperations(HostServices* services);
void installListOperations(HostServices* services);
void installGeometryOperations(HostServices* services);
void installTextOperations(HostServices* services, HostSession* session);
void installFontOperations(HostSession* session);
void installElementOperations(HostServices* services, TargetInfo* info, ReferenceHost* host);
void installPictureOperations(HostServices* services);

}  // namespace refhost

#endif
