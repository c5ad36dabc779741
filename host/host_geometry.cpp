// Curve flattening of the reference host.
#include "host/reference_host.h"

namespace refhost {

namespace {

PointList* opCurveToPointList(HostServices* s, const void*) {
    ReferenceHost* h = hostOf(s);
    h->shouldFail("curveToPointList");
    return nullptr;
}

PointList* opClosedCurveToPointList(HostServices* s, const void*) {
    ReferenceHost* h = hostOf(s);
    h->shouldFail("closedCurveToPointList");
    return nullptr;
}

}  // namespace

void installGeometryOperations(HostServices* services) {
    services->curveToPointList = opCurveToPointList;
    services->closedCurveToPointList = opClosedCurveToPointList;
}

}  // namespace refhost
