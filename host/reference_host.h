// The reference host: a real in-process host engine for the tests and the
// command-line tool, written against the driver's boundary header.
//
// It keeps a ledger of every block and object it hands out (so a test can
// tell that nothing leaked), can make any named operation fail at its Nth
// call, records the calls it receives in order, and owns the target
// description and session of one driver instance.
#ifndef JAVTRG_REFERENCE_HOST_H
#define JAVTRG_REFERENCE_HOST_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <javtrg/host_services.h>

namespace refhost {

class ReferenceHost;

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

// What an object owns besides its payload: blocks, point lists, palettes or
// other objects that one of its pointer fields refers to. Released with the
// object and deep-copied by its clone.
enum class AttachKind { Block, Object };
struct Attachment {
    AttachKind kind;
    int32_t fieldOffset;  // object offset of the pointer field
    void* target;
    size_t size;          // for blocks
};

struct ObjectInfo {
    int32_t kind;
    size_t payloadSize;
    std::vector<Attachment> attachments;
};

// The largest block the host hands out; a larger request is refused
// (absent), as an embedding engine refuses sizes no picture needs.
constexpr size_t kMaxBlockSize = size_t{1} << 30;

struct BlockInfo {
    size_t size;
    const char* origin;
};

// Payload bytes the host allocates for an object of `kind`: enough for the
// largest body of that kind.
size_t payloadSizeForKind(int32_t kind);

// Memory output stream: keeps each write's bytes separately, or with
// `keep` false only counts them (a fuzzer's run may write a lot).
struct MemoryStream {
    OutputStream base;
    ReferenceHost* host;
    std::vector<std::string> writes;
    int32_t readyResult;
    int32_t finishCalls;
    bool keep = true;
    uint64_t bytes = 0;

    std::string text() const;
};

// File output stream.
struct FileStream {
    OutputStream base;
    ReferenceHost* host;
    std::FILE* file;
    int32_t finishCalls;
    bool failed;
};

struct FailRule {
    uint64_t nth;
    bool persistent;
};

// The operations the host offers a driver, by the names the call counts,
// the failure injection and the failure messages use. An injectable
// operation has a failure result (absent, or 0) that failAt can make it
// return; an infallible one has none: it gives something back, answers a
// question or maps in place. Every operation of the tables is in exactly
// one of the two lists.
const std::vector<std::string>& injectableOperations();
const std::vector<std::string>& infallibleOperations();
bool isInjectable(const std::string& operation);

// The last operation of the host that failed, by injection or for real.
struct HostFailure {
    std::string operation;  // empty: nothing failed
    std::string reason;     // a short description
};

// A host curve description (the body of OpenCurve and ClosedCurve objects):
// a count of control points, then a reference to them. The points form a
// poly-Bezier: a start point followed by groups of three (two controls and
// an end point). The host flattens it into a point list.
struct CurveData {
    uint32_t pointCount;
    uint32_t reserved;
    const PointPair* points;
};

// ---- Picture elements and raster export (host_elements.cpp) ----

// The image of a Raster object (22), right after its three corners (body
// offset 24): `width` × `height` pixels of 4 bytes each, red, green, blue,
// alpha, rows from the top down. `pixels` must be the start of a block of
// this host (an object attachment) holding at least width × height × 4
// bytes; anything else is refused by exportRaster.
struct RasterImage {
    uint32_t width;         // body offset 24
    uint32_t height;        // body offset 28
    const uint8_t* pixels;  // body offset 32
};
struct RasterBody {
    RasterData corners;
    RasterImage image;
};
static_assert(offsetof(RasterBody, image) == 24 && offsetof(RasterBody, image.pixels) == 32 &&
                  sizeof(RasterBody) == 40,
              "RasterBody");

// Largest side, in pixels, of an image the host reads or exports; larger
// export sizes are cut down to it.
constexpr uint32_t kMaxRasterSide = 16384;

// A picture element opened through createElement. The driver sees only
// `writer`; the rest is the host's.
struct HostElement {
    ElementWriter writer;
    ReferenceHost* host;
    int32_t formatCode;
    std::string name;       // the first element text: the file name
    std::string mimeType;   // the second element text
    std::string path;       // the file, when the host has an element directory
    std::FILE* file;        // open while the element is, in a directory
    std::string bytes;      // the contents, when kept in memory
    bool open;
    bool written;           // an image was exported into it
    bool failed;            // an export or a file write failed: nothing is kept
    bool closedByHost;
};

// Installs queryPictureFormat and exportRaster into the table and the
// element callback, with the host as its handle, into the target info.
void installElementOperations(HostServices* services, TargetInfo* info, ReferenceHost* host);

// ---- Fill pictures and their conversion (host_pictures.cpp) ----

// Makes one object of a vector picture in the host.
using ObjectMaker = std::function<HostObject*(ReferenceHost&)>;

// A picture a fill can name: registered under the key that the fill's
// pictureRef holds. The driver is asked how it wants the picture with a
// request of `requestKind` and `formatCode`. A vector picture is its objects
// in drawing order; a raster picture (`raster` set) is an image.
struct HostPicture {
    int32_t requestKind = kPictureVector;
    int32_t formatCode = kElementVector;
    std::vector<ObjectMaker> objects;
    bool raster = false;
    uint32_t width = 0;
    uint32_t height = 0;
    std::string pixels;  // width × height × 4 bytes, red, green, blue, alpha, rows from the top
};

// A picture handed back as vector drawing: the ConversionResult
// (kConversionGroup)
// and its group. The group's objects are made when the picture is
// converted; `next` hands them out one by one, and whatever it did not hand
// out is released with the conversion.
struct PictureGroup {
    HostGroup group;  // the driver sees this
    ReferenceHost* host;
    std::vector<HostObject*> objects;
    size_t handedOut;
};
struct HostConversion {
    ConversionResult result;
    PictureGroup group;
};

void installPictureOperations(HostServices* services);

// Objects the conversions of one run may hand out at most (see
// ReferenceHost::limitConvertedObjects).
constexpr size_t kMaxConvertedObjects = 1000000;

class ReferenceHost {
public:
    ReferenceHost();
    ~ReferenceHost();
    ReferenceHost(const ReferenceHost&) = delete;
    ReferenceHost& operator=(const ReferenceHost&) = delete;

    HostServices* services() { return &services_.table; }
    HostSession* session() { return &session_.table; }
    TargetParams* params() { return &params_; }
    TargetInfo* info() { return &info_; }
    // Lets params()->targetInfo refer to info() (absent by default).
    void useTargetInfo(bool present);
    // Detaches the session (params()->hostSession absent) or reattaches it.
    void useSession(bool present);

    // Streams owned by the host, valid for its life.
    MemoryStream* memoryStream(bool withIsReady = false, bool withFinish = false);
    FileStream* fileStream(std::FILE* file, bool withFinish = true);

    // Ledger.
    size_t liveBlocks() const { return blocks_.size(); }
    size_t liveObjects() const { return objects_.size(); }
    std::string describeLive() const;
    bool ownsObject(const HostObject* object) const { return objects_.count(object) != 0; }
    bool ownsBlock(const void* block) const { return blocks_.count(block) != 0; }

    // Failure injection: the Nth call (from 1) of `operation`, counted from
    // now, fails; with `persistent` every later call too. Only an injectable
    // operation can be made to fail: any other name ends the process.
    void failAt(const std::string& operation, uint64_t nth, bool persistent = false);
    void clearFailures() { failures_.clear(); }
    // Counts the call of an injectable operation and tells whether it must
    // fail.
    bool shouldFail(const char* operation);
    // Counts the call of an infallible operation.
    void countCall(const char* operation);
    uint64_t calls(const std::string& operation) const;
    // Every operation called so far, with its number of calls.
    const std::map<std::string, uint64_t>& callCounts() const { return callCounts_; }
    // How many calls failed by injection so far.
    uint64_t injectedFailures() const { return injectedFailures_; }
    // The last failure since clearLastFailure (injected or real), and the
    // same in words: "the host's curveToPointList returned nothing
    // (failure injected at call 3)"; empty when nothing failed.
    const HostFailure& lastFailure() const { return lastFailure_; }
    std::string describeLastFailure() const;
    void clearLastFailure() { lastFailure_ = HostFailure{}; }
    // Records a real failure of `operation`, with the reason.
    void noteFailure(const char* operation, std::string reason);
    // The operations called, in order (allocation and release not included).
    const std::vector<std::string>& callLog() const { return callLog_; }
    void log(std::string entry) { callLog_.push_back(std::move(entry)); }

    // Blocks, tracked in the ledger. `origin` names who asked.
    void* allocateBlock(size_t size, bool zeroed, const char* origin);
    void* reallocateBlock(void* block, size_t size);
    void freeBlock(void* block);

    // Objects. newObject never fails and counts no call: it is how the tests
    // and the tool build what they hand to the driver.
    HostObject* newObject(int32_t kind, size_t minPayload = 0);
    HostObject* createObject(int32_t kind);   // the service: may fail
    // Bytes of the object's payload.
    unsigned char* payload(HostObject* object) { return reinterpret_cast<unsigned char*>(object) + kHostObjectPayloadOffset; }
    HostObject* cloneObject(const HostObject* object);
    void releaseObject(HostObject* object);
    const ObjectInfo* objectInfo(const HostObject* object) const;

    // Gives `object` a block holding `size` bytes of `data` (plus `extra`
    // zero bytes), referred to by its pointer field at `fieldOffset`.
    void* attachBlock(HostObject* object, int32_t fieldOffset, const void* data, size_t size, size_t extra = 0);
    // Makes `child` owned by `object` through its field at `fieldOffset`.
    void attachObject(HostObject* object, int32_t fieldOffset, HostObject* child);
    // The block `object` owns through its field at `fieldOffset`, absent
    // when it owns none there.
    const Attachment* attachedBlock(const HostObject* object, int32_t fieldOffset) const;
    // Gives the block owned through that field back (when there is one) and
    // attaches a new one as attachBlock does.
    void* replaceBlock(HostObject* object, int32_t fieldOffset, const void* data, size_t size, size_t extra = 0);

    // Point lists and palettes, tracked as blocks.
    PointList* newPointList(uint32_t count);
    void freePointList(PointList* list);
    HostPalette* copyPalette(const HostPalette* table);
    void freePalette(HostPalette* palette);

    // The transform the host reports as current; absent until useTransform.
    HostTransform* transform() { return &transform_; }
    void useTransform(bool present) { transformAvailable_ = present; }
    bool transformAvailable() const { return transformAvailable_; }

    // Font system (host_fonts.cpp): measuring contexts and fonts realised
    // with fontconfig. The host owns them outside the ledger, since a driver
    // instance keeps its context and last font, and releases what is left
    // when it is destroyed.
    struct FontSystem;
    struct FontSystemDeleter {
        void operator()(FontSystem* fonts) const;
    };
    FontSystem& fontSystem();

    // Text conversions (host_text.cpp): the iconv converters the session
    // has opened, kept for the host's life so that a run loads each
    // conversion once.
    struct Converters;
    struct ConvertersDeleter {
        void operator()(Converters* converters) const;
    };
    Converters& converters();
    size_t liveFonts() const;
    size_t liveMeasureContexts() const;

    // Registration state.
    uint64_t hostHandle() const { return hostHandle_; }
    int32_t registrations() const { return registrations_; }
    SetTrgPictureFn pictureHandler() const { return pictureHandler_; }
    void setPictureHandler(SetTrgPictureFn handler) { pictureHandler_ = handler; }

    // Fill pictures (see host_pictures.cpp and docs/pictures.md).
    void registerPicture(uint64_t key, HostPicture picture);
    // The convertPicture operation: asks the driver's picture handler how it
    // wants the picture, then returns it as a group (vector answer) or
    // writes it into the element the driver opened (element answer).
    ConversionResult* convertPicture(uint64_t handle, uint64_t key, DriverContext* context, TargetInfo* copy);
    // The driver's replies, in conversion order.
    const std::vector<PictureReply>& pictureReplies() const { return pictureReplies_; }
    // Conversions are kept until the run ends (a group may still be played
    // while a picture inside it is converted). Releasing them releases the
    // objects their groups did not hand out; the host does it when it is
    // destroyed. Returns how many conversions there were.
    size_t liveConversions() const { return conversions_.size(); }
    size_t releaseConversions();
    // Pictures nest: a picture's rectangles may be filled with pictures
    // whose rectangles are filled again, so that a few pictures a few fills
    // deep are drawn with more objects than any output could hold. The host
    // hands out at most this many objects through the conversions of one
    // run (kMaxConvertedObjects unless set); a conversion that would pass
    // the limit is refused (convertPicture returns nothing).
    void limitConvertedObjects(size_t objects) { convertedObjectsLimit_ = objects; }
    // Whether a conversion was refused for the limit.
    bool conversionsLimited() const { return conversionsLimited_; }

    // Picture elements. With a directory (which must exist) each element is
    // a file there; without one the host keeps its bytes in memory.
    void useElementDirectory(std::string directory) { elementDirectory_ = std::move(directory); }
    const std::vector<std::unique_ptr<HostElement>>& elements() const { return elements_; }
    size_t openElements() const;
    // Closes the elements the driver left open (also done at destruction)
    // and returns how many there were; they are counted, not leaked.
    size_t closeOpenElements();
    size_t elementsClosedByHost() const { return elementsClosedByHost_; }
    // The createElement and exportRaster operations (see host_elements.cpp).
    ElementWriter* createElement(int32_t formatCode, char* textA, int32_t sizeA, char* textB, int32_t sizeB);
    int32_t exportRaster(const void* rasterBody, ExportRequest* request);
    void closeElement(HostElement* element, bool byHost);
    // The open element of this writer, found by address (never followed
    // first); nullptr for any other writer.
    HostElement* findOpenElement(const ElementWriter* writer);
    // Writes `pixels` (width × height, RGBA) into an open PNG element that
    // holds no image yet, scaled to the parameter block's pixel size. false
    // when the element cannot take it; a failed write spoils the element.
    bool writeImage(HostElement* element, const uint8_t* pixels, uint32_t width, uint32_t height,
                    const TargetInfo* parameters);
    // Cuts the sides of exported images to `side` pixels (kMaxRasterSide
    // unless set): a host that must stay quick, as under a fuzzer, writes
    // small images however large the driver asks for them.
    void limitExportSide(uint32_t side) { exportSideLimit_ = std::min(side, kMaxRasterSide); }

private:
    void installTables();
    void adoptTextFont(const HostObject* object);

    ServicesTable services_{};
    SessionTable session_{};
    TargetParams params_{};
    TargetInfo info_{};
    HostTransform transform_{};
    bool transformAvailable_ = false;
    std::unordered_map<const void*, BlockInfo> blocks_;
    std::unordered_map<const HostObject*, ObjectInfo> objects_;
    std::map<std::string, FailRule> failures_;
    std::map<std::string, uint64_t> callCounts_;
    uint64_t injectedFailures_ = 0;
    HostFailure lastFailure_;
    std::vector<std::string> callLog_;
    std::vector<std::unique_ptr<MemoryStream>> memoryStreams_;
    std::vector<std::unique_ptr<FileStream>> fileStreams_;
    std::unique_ptr<FontSystem, FontSystemDeleter> fonts_;
    std::unique_ptr<Converters, ConvertersDeleter> converters_;
    uint64_t hostHandle_ = 0;
    int32_t registrations_ = 0;
    SetTrgPictureFn pictureHandler_ = nullptr;
    std::string elementDirectory_;
    std::vector<std::unique_ptr<HostElement>> elements_;
    size_t elementsClosedByHost_ = 0;
    uint32_t exportSideLimit_ = kMaxRasterSide;
    std::map<uint64_t, HostPicture> pictures_;
    std::vector<std::unique_ptr<HostConversion>> conversions_;
    std::vector<PictureReply> pictureReplies_;
    size_t convertedObjects_ = 0;
    size_t convertedObjectsLimit_ = kMaxConvertedObjects;
    bool conversionsLimited_ = false;

    friend struct HostOps;
};

// The ReferenceHost behind a table the driver was given.
inline ReferenceHost* hostOf(HostServices* services) { return reinterpret_cast<ServicesTable*>(services)->owner; }
inline ReferenceHost* hostOf(HostSession* session) { return reinterpret_cast<SessionTable*>(session)->owner; }

// Installs the operations of each area into the tables (one file each).
void installObjectOperations(HostServices* services);
void installGeometryOperations(HostServices* services);
void installTextOperations(HostServices* services, HostSession* session);
void installFontOperations(HostSession* session);

// Reference host text services used by the tool as well.
// Encodes UTF-8 text into the host encoding `code`; false when the encoding
// is unknown or cannot hold the text.
bool encodeText(const std::string& utf8, int32_t code, bool bigEndianUnits, std::string* out);
// The iconv name of a host encoding code, or nullptr when unknown.
const char* encodingName(int32_t code, bool bigEndianUnits);

}  // namespace refhost

#endif
