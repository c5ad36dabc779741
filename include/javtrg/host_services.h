// SPDX-License-Identifier: MIT
// The boundary between the javtrg driver and its host engine.
//
// Every host table and every record that the host and the driver both read is
// declared here, with its layout checked by static_assert. The ABI is C on
// little-endian x86-64: 8-byte pointers, natural alignment. Hosts (the
// reference host, the tests, the command-line tool, any embedding program) are
// written against this one header.
//
// Conventions of every operation below:
//  - HostServices operations take the HostServices table first, HostSession
//    operations the HostSession first; other callbacks take exactly the listed
//    arguments.
//  - Integer results: non-zero is success unless the entry says otherwise.
//  - "Absent" is a null pointer.
#ifndef JAVTRG_HOST_SERVICES_H
#define JAVTRG_HOST_SERVICES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct OutputStream;
struct HostServices;
struct HostSession;
struct HostObject;
struct HostListNode;
struct HostGroup;
struct ElementWriter;
struct DriverContext;
struct TargetParams;
struct TargetInfo;
struct PointList;
struct HostPalette;
struct HostTransform;
struct ConversionResult;
struct ExportRequest;
struct PictureRequest;
struct PictureReply;
struct FontDescriptor;
struct TextSpan;
struct TextMetrics;

/* ------------------------------------------------------------------------ */
/* Codes that cross the boundary                                             */
/* ------------------------------------------------------------------------ */

/* Kinds of drawing object: HostObject.kind. */
typedef enum ObjectKind {
    kKindGroupMarker = 1,    /* answered with kResultMarker */
    kKindPolyline = 4,
    kKindOpenCurve = 7,
    kKindPolygon = 8,
    kKindRectangle = 10,
    kKindRoundRect = 11,
    kKindCircle = 12,
    kKindEllipse = 13,
    kKindClosedCurve = 16,
    kKindSimpleText = 18,
    kKindTextPiece = 19,
    kKindJustify = 20,
    kKindRaster = 22,
    kKindClip = 27,
    kKindLineAtt = 28,
    kKindFillAtt = 29,
    kKindTextAtt = 30,
    kKindPalette = 32,
    kKindEndMarker = 34,     /* answered with kResultMarker */
    kKindTaggedRect = 37,
    kKindTextBox = 38,
    kKindParaAtt = 39,
    kKindCharAtt = 40,
    kKindTextString = 41,
    kKindWidthString = 42,
    kKindTab = 45,
    kKindParaStart = 46,
    kKindParaStartAtt = 47,
    kKindTextBoxEnd = 48
} ObjectKind;

/* Results of the entry points and handlers. */
enum {
    kResultFailure = 0,
    kResultDone = 1,
    kResultMarker = 2        /* putJAVobject's answer to the two marker kinds */
};

/* The host's encoding codes of texts (currentEncoding, fontEncoding and the
 * encoding fields of text bodies and search terms). Text in kEncodingUnits
 * is held in 16-bit code units, byte order by bigEndianText; every other
 * code marks byte text whose two-byte characters isLeadByte recognises. */
enum {
    kEncodingShiftJis = 1,
    kEncodingWestern = 7,        /* single-byte; a search term without an encoding is in it */
    kEncodingUnits = 51,
    kEncodingUtf8 = 53,
    kEncodingUnicodeFirst = 51,  /* 51 to 54: the host's Unicode encodings */
    kEncodingUnicodeLast = 54
};

/* TargetParams.colourMode: colour entries are colours themselves in direct
 * mode, indices into the palette in any other. */
enum { kColourModeDirect = 4, kColourModePalette = 0 };

/* FillAttributes.fillStyle: 0 and 2 no fill colour, 4 a picture, 5 a
 * gradient, any other a solid fill. */
enum {
    kFillNone = 0,
    kFillSolid = 1,
    kFillNoneAlt = 2,
    kFillPicture = 4,
    kFillGradient = 5
};

/* GradientDef.gradientKind: elliptical, rectangular; any other is linear. */
enum { kGradientLinear = 1, kGradientElliptical = 2, kGradientRectangular = 3 };

/* ClipData.mode: 1 opens a clip to the rectangle, 0 ends it. TaggedRectData
 * with kTagRectangle is drawn as a rectangle. */
enum { kClipEnd = 0, kClipOpen = 1, kTagRectangle = 5 };

/* Formats of picture elements (createElement, PictureRequest/Reply): the
 * host's raster and vector picture formats, and PNG images, which raster
 * images and every other fill picture become. */
enum { kElementRaster = 8, kElementPng = 10, kElementVector = 26 };

/* Picture conversion: the kinds of a PictureRequest, of the driver's
 * PictureReply and of a ConversionResult; queryPictureFormat's answer for a
 * raster format; the picture mode under which a raster request is answered
 * with an element only for a raster format. */
enum {
    kPictureRaster = 2,
    kPictureVector = 3,
    kAnswerElement = 2,
    kAnswerVector = 3,
    kConversionGroup = 3,
    kFormatIsRaster = 2,
    kPictureModeAskFormat = 4
};

/* ------------------------------------------------------------------------ */
/* Output stream: the host record the driver sees the prefix of.             */
/* ------------------------------------------------------------------------ */

/* Appends length bytes; the bytes must be taken during the call (the driver
 * reuses its buffer for the next record). Non-zero: all bytes taken. */
typedef int32_t (*OutputWriteFn)(struct OutputStream* stream, const char* bytes, uint32_t length);
/* Optional. 0 refuses the driver instance. */
typedef int32_t (*OutputIsReadyFn)(struct OutputStream* stream);
/* Optional. Called once when the instance shuts down. */
typedef void (*OutputFinishFn)(struct OutputStream* stream);

typedef struct OutputStream {
    OutputWriteFn write;     /* 0 */
    OutputIsReadyFn isReady; /* 8, may be absent */
    OutputFinishFn finish;   /* 16, may be absent */
    /* the host's own state follows */
} OutputStream;

/* ------------------------------------------------------------------------ */
/* Small host records                                                        */
/* ------------------------------------------------------------------------ */

/* A HostObject's copy operation: (services, object, 0) -> a copy the caller
 * owns, or absent. The copy owns whatever the original refers to (texts). */
typedef struct HostObject* (*HostObjectCloneFn)(struct HostServices* services,
                                                struct HostObject* object, int32_t zero);

/* Common header of every drawing object; the kind's payload starts at 24. */
typedef struct HostObject {
    int32_t kind;             /* 0: the ObjectKind */
    int32_t reserved;         /* 4 */
    HostObjectCloneFn clone;  /* 8 */
    uint64_t hostOwn;         /* 16: the host's own */
    /* 24: payload */
} HostObject;

enum { kHostObjectPayloadOffset = 24 };

/* A node of a circular list with a head node. The head holds no object. A
 * node pointer may stand for the address of its `next` link. */
typedef struct HostListNode {
    struct HostListNode* next;  /* 0 */
    struct HostListNode* prev;  /* 8 */
    struct HostObject* object;  /* 16 */
} HostListNode;

/* A group of objects handed back by a picture conversion: `next` returns the
 * next object while *more is 1; the host sets *more to another value when the
 * group is exhausted. */
typedef struct HostObject* (*HostGroupNextFn)(struct HostGroup* group, int32_t* more);
typedef struct HostGroup {
    HostGroupNextFn next; /* 0 */
    /* the host's own state follows */
} HostGroup;

/* Writer of a picture element; `close` completes the element. */
typedef void (*ElementWriterCloseFn)(struct ElementWriter* writer);
typedef struct ElementWriter {
    ElementWriterCloseFn close; /* 0 */
    /* the host's own state follows */
} ElementWriter;

/* What convertPicture returns; kConversionGroup means the picture came back
 * as a group of vector objects. The object stays the host's. */
typedef struct ConversionResult {
    int32_t kind;             /* 0 */
    int32_t reserved0;        /* 4 */
    uint64_t reserved1;       /* 8 */
    struct HostGroup* group;  /* 16, for kConversionGroup */
} ConversionResult;

/* A run of bytes handed to the session's text conversions. */
typedef struct TextSpan {
    const uint8_t* bytes; /* 0 */
    uint32_t count;       /* 8 */
    uint32_t reserved;    /* 12 */
} TextSpan;

/* Filled by the host's font system; the driver never reads it. */
typedef struct TextMetrics {
    uint8_t bytes[64];
} TextMetrics;

/* A colour table: count, then `count` 32-bit colours (red in the lowest byte,
 * then green, then blue). The host's tables and the driver's copies alike. */
typedef struct HostPalette {
    int32_t count;
    uint32_t colours[1]; /* `count` entries; size with hostPaletteBytes */
} HostPalette;

/* A point list: count, then `count` pairs of signed 32-bit x, y in host
 * coordinates (y grows upwards). */
typedef struct PointPair {
    int32_t x;
    int32_t y;
} PointPair;

typedef struct PointList {
    uint32_t count;
    PointPair points[1]; /* `count` entries; size with pointListBytes */
} PointList;

/* The transform of the host's current drawing state. Only `active`,
 * `scale1` and `scale2` are the driver's to read. */
typedef struct HostTransform {
    int32_t active;        /* 0: non-zero when the transform applies */
    uint8_t hostOwn[92];   /* 4: the host's own */
    double scale1;         /* 96 */
    double scale2;         /* 104 */
} HostTransform;

/* ------------------------------------------------------------------------ */
/* Target description                                                        */
/* ------------------------------------------------------------------------ */

/* Opens a picture element: the host fills textA and textB (NUL-terminated,
 * within their sizes) with the two texts that name the element and returns
 * its writer, or absent. */
typedef struct ElementWriter* (*CreateElementFn)(void* elementHandle, int32_t formatCode,
                                                 char* textA, int32_t sizeA,
                                                 char* textB, int32_t sizeB);

/* The host's description of the target format (96 bytes). */
typedef struct TargetInfo {
    double infoExtentX;            /* 0: used only when both extents are non-zero */
    double infoExtentY;            /* 8 */
    int32_t pixelWidth;            /* 16: used only when both are non-zero */
    int32_t pixelHeight;           /* 20 */
    int32_t dpiX;                  /* 24 */
    int32_t dpiY;                  /* 28 */
    int32_t imageWidth;            /* 32 */
    int32_t imageHeight;           /* 36 */
    uint8_t carriedA[32];          /* 40..71: carried along unchanged in copies */
    void* elementHandle;           /* 72: first argument of createElement */
    CreateElementFn createElement; /* 80 */
    uint8_t carriedB[8];           /* 88..95: carried along unchanged */
} TargetInfo;

/* The host's description of the target, handed to startTrgJAV. The driver
 * reads and writes the named fields only. */
typedef struct TargetParams {
    uint8_t hostOwn0[20];                /* 0 */
    int32_t typeCode;                    /* 20: written 42 */
    int32_t hostOwn24;                   /* 24 */
    int32_t typeFlag;                    /* 28: written 1 */
    double sizeX;                        /* 32: picture size in inches */
    double sizeY;                        /* 40 */
    double targetExtentX;                /* 48: written */
    double targetExtentY;                /* 56: written */
    int32_t sourceFrame[4];              /* 64: x0, y0, x1, y1 in host units, y up */
    int32_t targetPixelRect[4];          /* 80: x0, y0, x1, y1 in pixels, written */
    int32_t colourMode;                  /* 96: 4 = direct colours, else palette indices */
    int32_t outColourMode;               /* 100: written, a copy of colourMode */
    uint8_t hostOwn104[24];              /* 104 */
    struct TargetInfo* targetInfo;       /* 128: may be absent */
    uint8_t hostOwn136[8];               /* 136 */
    struct HostServices* hostServices;   /* 144: required */
    struct HostSession* hostSession;     /* 152 */
    int32_t hostOwn160;                  /* 160 */
    int32_t bigEndianText;               /* 164: non-zero: 16-bit units high byte first */
    uint8_t hostOwn168[24];              /* 168 */
    double altSizeX;                     /* 192: takes precedence when both non-zero */
    double altSizeY;                     /* 200 */
} TargetParams;

/* ------------------------------------------------------------------------ */
/* Picture conversion records                                                */
/* ------------------------------------------------------------------------ */

/* What the host asks of the driver while converting a fill picture. */
typedef struct PictureRequest {
    int32_t kind;          /* 0: picture kind (3 and 2 are told apart) */
    int32_t reserved4;     /* 4 */
    uint64_t reserved8;    /* 8 */
    int32_t formatCode;    /* 16 */
    int32_t reserved20;    /* 20 */
    uint8_t hostOwn[16];   /* 24 */
} PictureRequest;

/* The driver's answer: kind 3 vector drawing into `rect`, kind 2 a picture
 * element of `formatCode` written through `writer`. */
typedef struct PictureReply {
    int32_t kind;          /* 0 */
    int32_t reserved4;     /* 4 */
    uint64_t reserved8;    /* 8 */
    int32_t formatCode;    /* 16: element answer */
    int32_t reserved20;    /* 20 */
    union {
        struct ElementWriter* writer; /* 24: element answer */
        int32_t rect[4];              /* 24: right, top, left, bottom (vector answer) */
    } target;
} PictureReply;

/* The driver's answer to the host's picture conversion. */
typedef void (*SetTrgPictureFn)(struct DriverContext* context, const struct PictureRequest* request,
                                struct PictureReply* reply);

/* Handed to exportRaster (56 bytes, zeroed first). */
typedef struct ExportRequest {
    uint32_t elementKind;                 /* 0: kElementPng */
    uint32_t zero4;                       /* 4 */
    struct ElementWriter* writer;         /* 8 */
    uint8_t zero16[16];                   /* 16 */
    struct TargetInfo* parameters;        /* 32: the image parameter block */
    uint8_t zero40[16];                   /* 40 */
} ExportRequest;

/* ------------------------------------------------------------------------ */
/* HostServices: the host's operations, 8 bytes an entry, in this order.     */
/* ------------------------------------------------------------------------ */

typedef struct HostServices HostServices;

typedef struct HostServices {
    /* 0: a block of `size` bytes, or absent. */
    void* (*allocate)(HostServices* services, uint64_t size);
    /* 1: a zeroed block of count * size bytes, or absent. */
    void* (*allocateZeroed)(HostServices* services, uint64_t count, uint64_t size);
    /* 2: resized block with its contents kept; absent on failure, the old
     * block untouched. */
    void* (*reallocate)(HostServices* services, void* block, int32_t size);
    /* 3: frees blocks of allocate, allocateZeroed, reallocate and the
     * session's allocSessionBlock. */
    void (*freeBlock)(HostServices* services, void* block);
    /* 4: a new object of `kind`: header filled, payload zeroed and large
     * enough for the kind. Absent on failure. */
    struct HostObject* (*createObject)(HostServices* services, int32_t kind);
    /* 5: gives an object back, with what it owns (a TextAtt's 132-byte font
     * block, a copied text). */
    void (*releaseObject)(HostServices* services, struct HostObject* object);
    /* 6: index 0: links `object` in front of *position, which then
     * designates the new node; 0xFFFFFFFF: at the end of the list whose head
     * *position holds, creating the head when absent. */
    int32_t (*insertObject)(HostServices* services, struct HostListNode** position,
                            struct HostObject* object, uint32_t index);
    /* 7: unlinks the first node and returns its object; absent when empty. */
    struct HostObject* (*popObject)(HostServices* services, struct HostListNode** list, int32_t zero);
    /* 8: frees the nodes, their objects and the head. */
    void (*freeList)(HostServices* services, struct HostListNode* head);
    /* 9: the node's text object keeps what lies before charIndex/byteOffset;
     * a new node right after it holds the rest. */
    int32_t (*splitText)(HostServices* services, struct HostListNode* node, int64_t charIndex,
                         int64_t byteOffset);
    /* 10: an owned copy of a palette table; 11 frees it. */
    struct HostPalette* (*copyPalette)(HostServices* services, const void* table);
    void (*freePalette)(HostServices* services, struct HostPalette* palette);
    /* 12: a point list with room for `count` points; 13 frees it. */
    struct PointList* (*newPointList)(HostServices* services, uint32_t count);
    void (*freePointList)(HostServices* services, struct PointList* list);
    /* 14, 15: flatten the host's curve description into a point list (open
     * or closed), or absent. */
    struct PointList* (*curveToPointList)(HostServices* services, const void* curveBody);
    struct PointList* (*closedCurveToPointList)(HostServices* services, const void* curveBody);
    /* 16: the transform of the current drawing state, or absent. */
    struct HostTransform* (*currentTransform)(HostServices* services, uint64_t hostHandle);
    /* 17: maps point[0], point[1] in place. */
    void (*transformPoint)(HostServices* services, int32_t point[2], const struct HostTransform* transform);
    /* 18: kFormatIsRaster for a raster format. */
    int32_t (*queryPictureFormat)(HostServices* services, const int32_t* formatCode);
    /* 19: converts a fill picture; calls the driver's picture handler while
     * it runs. Result stays the host's; absent is not a failure. */
    struct ConversionResult* (*convertPicture)(HostServices* services, uint64_t hostHandle,
                                               uint64_t picture, struct DriverContext* context,
                                               struct TargetInfo* copy);
    /* 20: writes a raster image into the element of the request. */
    int32_t (*exportRaster)(HostServices* services, const void* rasterBody, struct ExportRequest* request);
    /* 21: registers the instance and fills context->hostHandle. */
    int32_t (*registerDriver)(HostServices* services, struct TargetParams* params,
                              struct DriverContext* context);
    /* 22 to 27: the registration steps, in the order the driver calls them. */
    int32_t (*installHandler)(HostServices* services, uint64_t hostHandle, int32_t code, void* handler);
    int32_t (*setRegistrationFlag)(HostServices* services, uint64_t hostHandle, int32_t flag, int32_t value);
    int32_t (*setTargetPictureHandler)(HostServices* services, uint64_t hostHandle, SetTrgPictureFn handler);
    int32_t (*registrationStepA)(HostServices* services, uint64_t hostHandle);
    int32_t (*registrationStepB)(HostServices* services, uint64_t hostHandle);
    int32_t (*registrationStepC)(HostServices* services, uint64_t hostHandle);
    /* 28: undoes registerDriver after a later registration step failed. */
    int32_t (*unregisterDriver)(HostServices* services, struct DriverContext* context);
    /* 29, 30: values handed on unchanged to installHandler. */
    void* defaultHandler33;
    void* defaultHandler14;
    /* the host may put its own state after this entry */
} HostServices;

/* ------------------------------------------------------------------------ */
/* HostSession                                                               */
/* ------------------------------------------------------------------------ */

struct SearchRequest;
typedef struct HostSession HostSession;

typedef struct HostSession {
    int32_t currentEncoding;               /* 0 */
    int32_t fontEncoding;                  /* 4 */
    struct SearchRequest* searchRequest;   /* 8, may be absent */
    void* sessionAllocator;                /* 16 */
    void* (*allocSessionBlock)(HostSession* session, void* allocator, uint64_t size);   /* 24 */
    void (*freeSessionBlock)(HostSession* session, void* allocator, void* block);       /* 32 */
    /* 40: converts from `fromEncoding` into currentEncoding; with an absent
     * target buffer it only stores the needed byte count in target->count. */
    int32_t (*convertText)(HostSession* session, int32_t fromEncoding, const struct TextSpan* source,
                           struct TextSpan* target, int32_t replacement);
    /* 48: from currentEncoding into 16-bit units in the byte order of
     * bigEndianText; stores the bytes produced in target->count. */
    int32_t (*convertToUnits)(HostSession* session, const struct TextSpan* source,
                              struct TextSpan* target, int32_t replacement, int32_t zero);
    /* 56: non-zero when `byte` begins a two-byte character of `encoding`. */
    int32_t (*isLeadByte)(HostSession* session, uint32_t byte, int32_t encoding);
    /* 64: sets the descriptor's charSet in place. */
    int32_t (*mapFontEncoding)(HostSession* session, struct FontDescriptor* descriptor);
    void* (*createMeasureContext)(HostSession* session, int32_t zero);                  /* 72 */
    /* 80: returns the previously selected object. */
    void* (*selectObject)(HostSession* session, void* context, void* object);
    int32_t (*deleteObject)(HostSession* session, void* object);                         /* 88 */
    void* (*createFont)(HostSession* session, const struct FontDescriptor* descriptor);  /* 96 */
    int32_t (*getTextFace)(HostSession* session, void* context, int32_t size, char* buffer); /* 104 */
    int32_t (*getTextMetrics)(HostSession* session, void* context, struct TextMetrics* record); /* 112 */
    /* the host's own state may follow */
} HostSession;

/* ------------------------------------------------------------------------ */
/* Object bodies (payload at object offset 24)                               */
/* ------------------------------------------------------------------------ */

typedef struct RectangleData {   /* Rectangle (10) */
    int32_t x0, y0, x1, y1;
} RectangleData;

typedef struct RoundRectData {   /* RoundRect (11) */
    int32_t x0, y0, x1, y1;
    int32_t cornerX, cornerY;
} RoundRectData;

typedef struct CircleData {      /* Circle (12) */
    int32_t cx, cy, radius;
} CircleData;

typedef struct EllipseData {     /* Ellipse (13) */
    int32_t cx, cy, ax, ay, bx, by;
} EllipseData;

typedef struct ClipData {        /* Clip (27) */
    int32_t mode;
    int32_t reserved;
    struct HostObject* rectangle; /* expected to be a Rectangle, may be absent */
} ClipData;

typedef struct PaletteData {     /* Palette (32) */
    uint64_t reserved;
    const struct HostPalette* palette;
} PaletteData;

typedef struct TaggedRectData {  /* TaggedRect (37) */
    int32_t tag;
    int32_t reserved;
    const int32_t* values;       /* right, top, left, bottom; may be absent */
} TaggedRectData;

typedef struct PolylineData {    /* Polyline (4) */
    int32_t value;               /* not read */
    int32_t reserved;
    struct PointList* points;
} PolylineData;

typedef struct PolygonData {     /* Polygon (8) */
    struct PointList* points;
} PolygonData;

typedef struct RasterData {      /* Raster (22): three corners, then the host's image */
    int32_t x0, y0, x1, y1, x2, y2;
} RasterData;

/* Pen: the 44-byte body of LineAtt (28). */
typedef struct LineAttributes {
    int32_t lineValueA;   /* 0: fifth integer of "a" */
    int32_t lineWidth;    /* 4: host units; rewritten to pixels */
    uint32_t lineColour;  /* 8: colour entry */
    int32_t lineValueB;   /* 12: fourth integer of "a" */
    uint8_t rest[28];     /* 16 */
} LineAttributes;

/* A gradient (288 bytes). */
typedef struct GradientDef {
    int32_t gradientKind;        /* 0: 2 elliptical, 3 rectangular, else linear */
    int32_t stopCount;           /* 4: at most 32 */
    uint32_t stopColours[32];    /* 8: colour entries */
    int32_t stopPositions[32];   /* 136: percent, ascending */
    int32_t centreXPercent;      /* 264 */
    int32_t centreYPercent;      /* 268: from the bottom */
    int32_t aspectX;             /* 272 */
    int32_t aspectY;             /* 276 */
    int32_t angle;               /* 280: degrees */
    int32_t stepCount;           /* 284: 0 or less: the driver chooses */
} GradientDef;

/* Fill: the 344-byte body of FillAtt (29). */
typedef struct FillAttributes {
    int32_t foreEnable;      /* 0 */
    int32_t unnamed4;        /* 4 */
    uint32_t foreColour;     /* 8: colour entry */
    int32_t foreShown;       /* 12 */
    int32_t fillStyle;       /* 16: 0, 2 none; 4 picture; 5 gradient; else solid */
    uint32_t fillColour;     /* 20: colour entry */
    uint8_t unnamed24[16];   /* 24 */
    uint64_t pictureRef;     /* 40 */
    int32_t pictureMode;     /* 48 */
    int32_t fillParam;       /* 52 */
    GradientDef gradient;    /* 56 */
} FillAttributes;

/* A font in the field order and widths of the LOGFONTA record (60 bytes). */
typedef struct FontDescriptor {
    int32_t height;          /* 0 */
    int32_t width;           /* 4 */
    int32_t escapement;      /* 8 */
    int32_t orientation;     /* 12 */
    int32_t weight;          /* 16: 400 normal, 700 bold */
    uint8_t italic;          /* 20 */
    uint8_t underline;       /* 21 */
    uint8_t strikeOut;       /* 22 */
    uint8_t charSet;         /* 23 */
    uint8_t outPrecision;    /* 24 */
    uint8_t clipPrecision;   /* 25 */
    uint8_t quality;         /* 26 */
    uint8_t pitchAndFamily;  /* 27 */
    char faceName[32];       /* 28 */
} FontDescriptor;

/* The 132-byte font block of text attributes: plain form or descriptor. */
typedef struct TextFont {
    char plainFace[32];          /* 0 */
    int32_t plainBold;           /* 32 */
    int32_t plainItalic;         /* 36 */
    int32_t plainUnderline;      /* 40 */
    int32_t plainStrikeOut;      /* 44 */
    int32_t unnamed48[5];        /* 48: compared, not read */
    int32_t useDescriptor;       /* 68 */
    FontDescriptor descriptor;   /* 72 */
} TextFont;

/* The 40-byte body of TextAtt (30). */
typedef struct TextAttributes {
    uint32_t textColour;         /* 0: colour entry */
    int32_t fontHeight;          /* 4: sign ignored */
    uint32_t textValueA;         /* 8 */
    uint32_t placementMinor;     /* 12 */
    uint32_t placementMajor;     /* 16 */
    uint32_t textValueB;         /* 20 */
    uint32_t textValueC;         /* 24 */
    uint32_t unnamed28;          /* 28: neither read nor compared */
    struct TextFont* font;       /* 32: may be absent */
} TextAttributes;

/* The 104-byte body of CharAtt (40). */
typedef struct CharAttributes {
    uint32_t charColour;         /* 0: colour entry */
    FontDescriptor charFont;     /* 4 */
    uint8_t unnamed64[28];       /* 64 */
    int32_t superscript;         /* 92 */
    int32_t subscript;           /* 96 */
    uint32_t unnamed100;         /* 100 */
} CharAttributes;

/* The 216-byte body of ParaAtt (39) and ParaStartAtt (47). */
typedef struct ParaAttributes {
    int32_t modeA;       /* 0: 1 = valueA in points */
    int32_t valueA;      /* 4 */
    int32_t modeB;       /* 8 */
    int32_t valueB;      /* 12 */
    int32_t modeC;       /* 16 */
    int32_t valueC;      /* 20 */
    int32_t distance1;   /* 24: host units */
    int32_t distance2;   /* 28 */
    int32_t distance3;   /* 32 */
    int32_t codeA;       /* 36 */
    int32_t codeB;       /* 40 */
    uint8_t unnamed44[172]; /* 44: carried, not read */
} ParaAttributes;

/* TextBox (38). */
typedef struct TextBoxData {
    int32_t x1, y1;
    int32_t x2, y2;
    int32_t rotation;        /* tenths of a degree */
    uint32_t justification;
} TextBoxData;

/* SimpleText (18). */
typedef struct SimpleTextData {
    int32_t unnamed0;        /* 0 */
    int32_t x1, y1, x2, y2;  /* 4: corners in any order */
    int32_t unnamed20;       /* 20 */
    const uint8_t* text;     /* 24 */
    int64_t byteLength;      /* 32: 0 or less: up to the first zero byte */
    int32_t encoding;        /* 40: 0: currentEncoding */
    int32_t unnamed44;       /* 44 */
} SimpleTextData;

/* TextString (41). */
typedef struct TextStringData {
    uint64_t unnamed0;       /* 0 */
    const uint8_t* text;     /* 8, may be absent */
    int64_t byteLength;      /* 16 */
    int32_t encoding;        /* 24 */
    int32_t unnamed28;       /* 28 */
} TextStringData;

/* WidthString (42). */
typedef struct WidthStringData {
    const uint8_t* text;     /* 0, may be absent */
    int32_t runWidth;        /* 8: written when positive */
    int32_t unnamed12;       /* 12 */
    int64_t byteLength;      /* 16 */
    int32_t encoding;        /* 24 */
    int32_t unnamed28;       /* 28 */
    int32_t stringMode;      /* 32 */
    int32_t unnamed36;       /* 36 */
} WidthStringData;

/* TextPiece (19). */
typedef struct TextPieceData {
    int32_t lastPiece;       /* 0: 1 ends the text */
    int32_t unnamed4;        /* 4 */
    const uint8_t* text;     /* 8, may be absent */
    int64_t byteLength;      /* 16 */
    int32_t encoding;        /* 24 */
    int32_t unnamed28;       /* 28 */
} TextPieceData;

/* ------------------------------------------------------------------------ */
/* Search                                                                    */
/* ------------------------------------------------------------------------ */

typedef struct SearchRequest {
    uint8_t unnamed0[16];         /* 0 */
    const char* const* searchTerms; /* 16: termCount entries, each may be absent */
    int32_t termCount;            /* 24 */
    int32_t termEncoding;         /* 28: 0 stands for 7; the driver writes 7 then */
    const char* searchOptions;    /* 32: "color:#RRGGBB", may be absent */
    uint64_t unnamed40;           /* 40 */
    int32_t caseSensitive;        /* 48 */
    int32_t wholeWordRequested;   /* 52 */
} SearchRequest;

typedef struct HighlightTerm {
    int64_t charCount;       /* 0 */
    uint8_t* text;           /* 8: owned by the list, with its terminator */
    int64_t byteLength;      /* 16: without terminator */
    int32_t encoding;        /* 24 */
    int32_t unnamed28;       /* 28 */
} HighlightTerm;

/* ------------------------------------------------------------------------ */
/* Driver-owned records                                                      */
/* ------------------------------------------------------------------------ */

/* The two corners of a gradient-filled shape in host units: first (left,
 * top), second (right, bottom), top being the larger y. */
typedef struct GradientBox {
    PointPair corner1;
    PointPair corner2;
} GradientBox;

enum { kElementTextSize = 1024 };
/* CheckElementInList's answer when no entry has the key (all bits set). */
enum { kElementNotFound = -1 };

typedef struct ElementEntry {
    uint64_t key;
    char textA[kElementTextSize];
    char textB[kElementTextSize];
} ElementEntry;

typedef struct ElementList {
    struct ElementEntry* entries;
    int32_t capacity;
    int32_t count;
} ElementList;

enum { kDriverTypeWord = 8193, kLineBufferSize = 10240, kDriverContextSize = 8888 };

/* One driver instance (8888 bytes, obtained zeroed from the host). The host
 * reads and writes the header (offsets 0 to 87); the rest is the driver's. */
typedef struct DriverContext {
    /* header */
    int32_t typeWord;                    /* 0: 8193 while the instance lives */
    int32_t reserved4;                   /* 4 */
    struct OutputStream* stream;         /* 8 */
    struct TargetParams* targetParams;   /* 16 */
    int32_t (*putObject)(struct DriverContext*, struct HostObject*);  /* 24 */
    void (*shutDown)(struct DriverContext*);                          /* 32 */
    uint64_t clientData;                 /* 40 */
    uint64_t hostHandle;                 /* 48: filled by registerDriver */
    struct HostServices* hostServices;   /* 56 */
    struct HostSession* hostSession;     /* 64 */
    SetTrgPictureFn setTrgPicture;       /* 72 */
    int32_t recordCount;                 /* 80 */
    int32_t reserved84;                  /* 84 */

    /* shared private state */
    struct HostObject* currentObject;
    double targetWidth, targetHeight;
    double scaleX, scaleY;
    double offsetX, offsetY;
    double unitsPerInchX, unitsPerInchY;
    char* lineBuffer;
    char elementTextA[kElementTextSize];
    char elementTextB[kElementTextSize];
    struct ElementWriter* elementWriter;
    uint64_t pendingElementKey;
    struct ElementList* elementList;
    struct HostPalette* palette;
    FillAttributes currentFillAtt;
    LineAttributes currentLineAtt;
    TextAttributes currentTextAtt;
    int32_t driverGradient;
    ParaAttributes currentParaAtt;
    int32_t highlightActive;
    struct HostListNode* boxObjects;

    /* pictures */
    LineAttributes receivedLineAtt;      /* the last line attributes as they came, width in host units */
    int32_t pictureDepth;                /* picture fills being converted or played, one inside another */

    /* text */
    int32_t inTextBox;
    int32_t textAttPending;
    int32_t paraAttWritten;
    TextFont currentTextFont;

    /* search highlighting */
    int32_t wholeWord;
    uint32_t highlightColour;
    int32_t highlightTermCount;
    int32_t highlightTermsEncoding;      /* the encoding highlightTerms was built for */
    struct HighlightTerm* highlightTerms;
    /* while a text box is highlighted: the character attributes, text
     * colour and font in force, and the face the font system chose */
    const CharAttributes* inForceCharAtt;
    uint32_t inForceTextColour;
    FontDescriptor inForceFont;
    char inForceFace[32];
    /* the session's measuring context, the font selected into it, the
     * object it held before, and the font's metrics */
    void* measureContext;
    void* measureFont;
    void* measureFontBefore;
    TextMetrics measureMetrics;

    uint8_t room[5568];                  /* for later fields; keeps the size */
} DriverContext;

/* ------------------------------------------------------------------------ */
/* Layout checks                                                             */
/* ------------------------------------------------------------------------ */

#ifdef __cplusplus
#define JAVTRG_ASSERT static_assert
#else
#define JAVTRG_ASSERT _Static_assert
#endif

JAVTRG_ASSERT(sizeof(void*) == 8, "the host ABI has 8-byte references");
JAVTRG_ASSERT(offsetof(OutputStream, write) == 0 && offsetof(OutputStream, isReady) == 8 &&
              offsetof(OutputStream, finish) == 16, "OutputStream");
JAVTRG_ASSERT(offsetof(HostObject, kind) == 0 && offsetof(HostObject, clone) == 8 &&
              offsetof(HostObject, hostOwn) == 16 && sizeof(HostObject) == 24, "HostObject header");
JAVTRG_ASSERT(sizeof(HostListNode) == 24 && offsetof(HostListNode, object) == 16, "HostListNode");
JAVTRG_ASSERT(offsetof(ConversionResult, group) == 16, "ConversionResult");
JAVTRG_ASSERT(sizeof(TextSpan) == 16 && offsetof(TextSpan, count) == 8, "TextSpan");
JAVTRG_ASSERT(sizeof(TextMetrics) == 64, "TextMetrics");
JAVTRG_ASSERT(offsetof(HostPalette, colours) == 4, "HostPalette");
JAVTRG_ASSERT(offsetof(PointList, points) == 4 && sizeof(PointPair) == 8, "PointList");
JAVTRG_ASSERT(offsetof(HostTransform, scale1) == 96 && offsetof(HostTransform, scale2) == 104, "HostTransform");

JAVTRG_ASSERT(sizeof(TargetInfo) == 96, "TargetInfo");
JAVTRG_ASSERT(offsetof(TargetInfo, pixelWidth) == 16 && offsetof(TargetInfo, dpiX) == 24 &&
              offsetof(TargetInfo, imageWidth) == 32 && offsetof(TargetInfo, elementHandle) == 72 &&
              offsetof(TargetInfo, createElement) == 80, "TargetInfo fields");
JAVTRG_ASSERT(offsetof(TargetParams, typeCode) == 20 && offsetof(TargetParams, typeFlag) == 28 &&
              offsetof(TargetParams, sizeX) == 32 && offsetof(TargetParams, sizeY) == 40 &&
              offsetof(TargetParams, targetExtentX) == 48 && offsetof(TargetParams, targetExtentY) == 56 &&
              offsetof(TargetParams, sourceFrame) == 64 && offsetof(TargetParams, targetPixelRect) == 80 &&
              offsetof(TargetParams, colourMode) == 96 && offsetof(TargetParams, outColourMode) == 100 &&
              offsetof(TargetParams, targetInfo) == 128 && offsetof(TargetParams, hostServices) == 144 &&
              offsetof(TargetParams, hostSession) == 152 && offsetof(TargetParams, bigEndianText) == 164 &&
              offsetof(TargetParams, altSizeX) == 192 && offsetof(TargetParams, altSizeY) == 200 &&
              sizeof(TargetParams) == 208, "TargetParams");

JAVTRG_ASSERT(sizeof(PictureRequest) == 40 && offsetof(PictureRequest, formatCode) == 16, "PictureRequest");
JAVTRG_ASSERT(sizeof(PictureReply) == 40 && offsetof(PictureReply, formatCode) == 16 &&
              offsetof(PictureReply, target) == 24, "PictureReply");
JAVTRG_ASSERT(sizeof(ExportRequest) == 56 && offsetof(ExportRequest, writer) == 8 &&
              offsetof(ExportRequest, parameters) == 32, "ExportRequest");

JAVTRG_ASSERT(sizeof(HostServices) == 31 * 8 && offsetof(HostServices, freeBlock) == 3 * 8 &&
              offsetof(HostServices, createObject) == 4 * 8 && offsetof(HostServices, splitText) == 9 * 8 &&
              offsetof(HostServices, newPointList) == 12 * 8 && offsetof(HostServices, currentTransform) == 16 * 8 &&
              offsetof(HostServices, convertPicture) == 19 * 8 && offsetof(HostServices, registerDriver) == 21 * 8 &&
              offsetof(HostServices, unregisterDriver) == 28 * 8 &&
              offsetof(HostServices, defaultHandler14) == 30 * 8, "HostServices order");
JAVTRG_ASSERT(offsetof(HostSession, searchRequest) == 8 && offsetof(HostSession, sessionAllocator) == 16 &&
              offsetof(HostSession, allocSessionBlock) == 24 && offsetof(HostSession, convertText) == 40 &&
              offsetof(HostSession, convertToUnits) == 48 && offsetof(HostSession, isLeadByte) == 56 &&
              offsetof(HostSession, mapFontEncoding) == 64 && offsetof(HostSession, createFont) == 96 &&
              offsetof(HostSession, getTextMetrics) == 112 && sizeof(HostSession) == 120, "HostSession");

JAVTRG_ASSERT(sizeof(RectangleData) == 16 && sizeof(RoundRectData) == 24 && sizeof(CircleData) == 12 &&
              sizeof(EllipseData) == 24, "shape bodies");
JAVTRG_ASSERT(offsetof(ClipData, rectangle) == 8 && offsetof(PaletteData, palette) == 8 &&
              offsetof(TaggedRectData, values) == 8, "reference bodies sit at object offset 32");
JAVTRG_ASSERT(offsetof(PolylineData, points) == 8 && offsetof(PolygonData, points) == 0, "point list bodies");
JAVTRG_ASSERT(sizeof(RasterData) == 24, "RasterData");
JAVTRG_ASSERT(sizeof(LineAttributes) == 44 && offsetof(LineAttributes, lineColour) == 8, "LineAttributes");
JAVTRG_ASSERT(sizeof(GradientDef) == 288 && offsetof(GradientDef, stopPositions) == 136 &&
              offsetof(GradientDef, centreXPercent) == 264 && offsetof(GradientDef, stepCount) == 284, "GradientDef");
JAVTRG_ASSERT(sizeof(FillAttributes) == 344 && offsetof(FillAttributes, fillStyle) == 16 &&
              offsetof(FillAttributes, fillColour) == 20 && offsetof(FillAttributes, pictureRef) == 40 &&
              offsetof(FillAttributes, pictureMode) == 48 && offsetof(FillAttributes, fillParam) == 52 &&
              offsetof(FillAttributes, gradient) == 56, "FillAttributes");
JAVTRG_ASSERT(sizeof(FontDescriptor) == 60 && offsetof(FontDescriptor, italic) == 20 &&
              offsetof(FontDescriptor, charSet) == 23 && offsetof(FontDescriptor, faceName) == 28, "FontDescriptor");
JAVTRG_ASSERT(sizeof(TextFont) == 132 && offsetof(TextFont, plainBold) == 32 &&
              offsetof(TextFont, useDescriptor) == 68 && offsetof(TextFont, descriptor) == 72, "TextFont");
JAVTRG_ASSERT(sizeof(TextAttributes) == 40 && offsetof(TextAttributes, placementMinor) == 12 &&
              offsetof(TextAttributes, font) == 32, "TextAttributes: font at object offset 56");
JAVTRG_ASSERT(sizeof(CharAttributes) == 104 && offsetof(CharAttributes, charFont) == 4 &&
              offsetof(CharAttributes, superscript) == 92 && offsetof(CharAttributes, subscript) == 96, "CharAttributes");
JAVTRG_ASSERT(sizeof(ParaAttributes) == 216 && offsetof(ParaAttributes, valueC) == 20 &&
              offsetof(ParaAttributes, codeB) == 40, "ParaAttributes");
JAVTRG_ASSERT(sizeof(TextBoxData) == 24, "TextBoxData");
JAVTRG_ASSERT(offsetof(SimpleTextData, x1) == 4 && offsetof(SimpleTextData, text) == 24 &&
              offsetof(SimpleTextData, byteLength) == 32 && offsetof(SimpleTextData, encoding) == 40, "SimpleTextData");
JAVTRG_ASSERT(offsetof(TextStringData, text) == 8 && offsetof(TextStringData, byteLength) == 16 &&
              offsetof(TextStringData, encoding) == 24, "TextStringData");
JAVTRG_ASSERT(offsetof(WidthStringData, runWidth) == 8 && offsetof(WidthStringData, byteLength) == 16 &&
              offsetof(WidthStringData, encoding) == 24 && offsetof(WidthStringData, stringMode) == 32, "WidthStringData");
JAVTRG_ASSERT(offsetof(TextPieceData, text) == 8 && offsetof(TextPieceData, byteLength) == 16 &&
              offsetof(TextPieceData, encoding) == 24, "TextPieceData");
JAVTRG_ASSERT(offsetof(SearchRequest, searchTerms) == 16 && offsetof(SearchRequest, termCount) == 24 &&
              offsetof(SearchRequest, termEncoding) == 28 && offsetof(SearchRequest, searchOptions) == 32 &&
              offsetof(SearchRequest, caseSensitive) == 48 && offsetof(SearchRequest, wholeWordRequested) == 52,
              "SearchRequest");
JAVTRG_ASSERT(sizeof(HighlightTerm) == 32 && offsetof(HighlightTerm, encoding) == 24, "HighlightTerm");
JAVTRG_ASSERT(sizeof(ElementEntry) == 2056 && sizeof(ElementList) == 16, "ElementList");

JAVTRG_ASSERT(offsetof(DriverContext, stream) == 8 && offsetof(DriverContext, targetParams) == 16 &&
              offsetof(DriverContext, putObject) == 24 && offsetof(DriverContext, shutDown) == 32 &&
              offsetof(DriverContext, clientData) == 40 && offsetof(DriverContext, hostHandle) == 48 &&
              offsetof(DriverContext, hostServices) == 56 && offsetof(DriverContext, hostSession) == 64 &&
              offsetof(DriverContext, setTrgPicture) == 72 && offsetof(DriverContext, recordCount) == 80 &&
              offsetof(DriverContext, currentObject) == 88, "DriverContext header");
JAVTRG_ASSERT(sizeof(DriverContext) == kDriverContextSize, "DriverContext is 8888 bytes");

#undef JAVTRG_ASSERT

/* ------------------------------------------------------------------------ */
/* Exported entry points of libjavtrg                                        */
/* ------------------------------------------------------------------------ */

#if defined(__GNUC__)
#define JAVTRG_EXPORT __attribute__((visibility("default")))
#else
#define JAVTRG_EXPORT
#endif

/* Creates a driver instance for one target picture; absent on failure. */
JAVTRG_EXPORT DriverContext* startTrgJAV(OutputStream* stream, TargetParams* targetParams, uint64_t clientData);
/* Ends an instance and releases everything it holds; absent is ignored. */
JAVTRG_EXPORT void shutDownJAVtrg(DriverContext* context);
/* Draws one object and gives it back to the host: 1 done, 0 failure, 2 for
 * kinds 1 and 34. Absent context or object: 0, nothing touched. */
JAVTRG_EXPORT int32_t putJAVobject(DriverContext* context, HostObject* object);
/* The driver's answer to the host's picture conversion: a vector answer
 * (kind 3, the rectangle being filled) or an element answer (kind 2, an
 * element opened through createElement and recorded in the element list). */
JAVTRG_EXPORT void JAVSetTrgPicture(DriverContext* context, const PictureRequest* request, PictureReply* reply);
/* Draws a group of objects in place through putObject and then restores the
 * text, fill and line attributes the group changed: 1 done, 0 when an object
 * or a restoring object was not drawn with 1 (nothing is restored after a
 * failing object). An absent group is a failure. */
JAVTRG_EXPORT int32_t JAVtPlayGroup(DriverContext* context, HostGroup* group);
/* Appends an element (key and two texts of at most 1023 characters) to the
 * element list, growing it by five entries when full. Nothing is added when
 * there is no list or it cannot grow. */
JAVTRG_EXPORT void AddElementToList(DriverContext* context, const char* textA, const char* textB, uint64_t key);
/* The index of the first element with `key`, or kElementNotFound. */
JAVTRG_EXPORT int32_t CheckElementInList(DriverContext* context, uint64_t key);

JAVTRG_EXPORT void JAVtPtsList(DriverContext* context, const PointList* points);
JAVTRG_EXPORT int32_t JAVtPolyline(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtLineAtt(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtFillAtt(DriverContext* context, HostObject* object);
/* Exports a raster image into a new element and places it with an "m"
 * record: 1 when the record was written and the stream took it, else 0. */
JAVTRG_EXPORT int32_t JAVtRaster(DriverContext* context, HostObject* object);

JAVTRG_EXPORT int32_t JAVtCalcOptimalGradSteps(DriverContext* context, const GradientDef* gradient,
                                               const uint32_t* colours, PointPair corner1, PointPair corner2);
JAVTRG_EXPORT int32_t JAVtGradientFill(DriverContext* context, PointPair corner1, PointPair corner2);
JAVTRG_EXPORT int32_t JAVtLinearGradientFill(DriverContext* context, PointPair corner1, PointPair corner2);

JAVTRG_EXPORT int32_t JAVtTextStart(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtText(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtTextParaStart(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtTextEnd(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtTextAtt(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtCmpTextAtt(DriverContext* context, const TextAttributes* a, const TextAttributes* b);
JAVTRG_EXPORT int32_t JAVtTextParaAtt(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtTextCharAtt(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtJustifyTxt(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtTextString(DriverContext* context, HostObject* object);
JAVTRG_EXPORT int32_t JAVtAppendTxt(DriverContext* context, HostObject* object);

JAVTRG_EXPORT int32_t JAVtInitHighlight(DriverContext* context);
JAVTRG_EXPORT void JAVtTermHighlight(DriverContext* context);
JAVTRG_EXPORT int32_t JAVtHighlightTextBox(DriverContext* context, HostListNode* list);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* JAVTRG_HOST_SERVICES_H */
