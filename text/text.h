// SPDX-License-Identifier: MIT
// Text: text boxes, simple texts, attributes and fonts, code-unit output.
#ifndef JAVTRG_TEXT_H
#define JAVTRG_TEXT_H

#include <cstddef>
#include <cstdint>

#include <javtrg/host_services.h>

// Size of every face name buffer (fonts and descriptors).
inline constexpr size_t kFaceSize = 32;


// ---------------------------------------------------------------- objects

// True while the objects of a text box are collected for highlighting
// instead of being written.
inline bool JAVtCollecting(const DriverContext* context) {
    return context->highlightActive != 0 && context->inTextBox != 0;
}
// Appends a copy of the object to boxObjects: 1 done, 0 when no copy could
// be made or linked (a copy that could not be linked is given back).
int32_t JAVtCollect(DriverContext* context, HostObject* object);

// ---------------------------------------------------------------- attributes

// Writes the "c" record of a TextAttributes, rewriting the face name and
// character set of its font in place; returns 1.
int32_t JAVtPutTextAttFont(DriverContext* context, TextAttributes* attributes);
// A length scaled by an active transform: (scale1 + scale2) / 2 * v, plus
// 0.5, truncated and saturated; v itself without an active transform.
int32_t JAVtScaleLength(int32_t length, const HostTransform* transform);
// The transform of the host's current drawing state, absent without one.
const HostTransform* JAVtCurrentTransform(DriverContext* context);

// ---------------------------------------------------------------- character sets

// The session's currentEncoding, 0 without a session.
int32_t JAVtCurrentEncoding(const DriverContext* context);
// Sets *charset from the session's currentEncoding.
void JAVtCharsetFromEncoding(const HostSession* session, uint8_t* charset);
// Charset resolution: for Unicode texts (currentEncoding kEncodingUnicodeFirst
// to kEncodingUnicodeLast) the session's fontEncoding stands for
// currentEncoding while the set is chosen.
void JAVtResolveCharset(HostSession* session, uint8_t* charset);

// ---------------------------------------------------------------- face names

// Characters of a face name buffer before its NUL, at most kFaceSize.
size_t JAVtFaceLength(const char* face);
// An empty face becomes "Times New Roman".
void JAVtDefaultFace(char* face);
// Replaces the face by the generic name the viewer resolves itself under an
// East Asian character set: dialog, monospaced, serif or sansserif.
void JAVtMapFontName(char* face);
// Ends the face at its first comma.
void JAVtCutAtComma(char* face);

// ---------------------------------------------------------------- units

// Writes one "u" record of a text; 1 also when there was nothing to write,
// 0 when the conversion failed.
int32_t JAVtPutTextUnits(DriverContext* context, const uint8_t* text, int32_t byteLength, int32_t encoding);

#endif
