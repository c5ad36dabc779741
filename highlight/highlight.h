// SPDX-License-Identifier: MIT
// Search highlighting: the search request and its term list, the pass that
// cuts hits out of a collected text box, and the fonts in force during it.
#ifndef JAVTRG_HIGHLIGHT_H
#define JAVTRG_HIGHLIGHT_H

#include <cstdint>

#include <javtrg/host_services.h>


// Empties the term list: every term text and the array go back with
// freeBlock, and the list is absent again.
void JAVtFreeHighlightTerms(DriverContext* context);

// Builds the term list for text in `encoding` from the session's search
// request, copying or converting each term. A request without terms builds
// nothing; a failed allocation or conversion leaves the list empty. The
// session's currentEncoding is the same afterwards.
void JAVtBuildHighlightTerms(DriverContext* context, int32_t encoding);

// Makes `attributes` (absent at a text start: the default font, black) the
// attributes in force, and realises their font in the session's measuring
// context. `next` is the object that follows the attributes in the box, or
// absent. Returns 1, or 0 when the font system failed.
int32_t JAVtSelectHighlightFont(DriverContext* context, const CharAttributes* attributes, const HostObject* next);

#endif
