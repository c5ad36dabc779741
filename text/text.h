// Text: text boxes, simple texts, attributes and fonts, code-unit output.
#ifndef JAVTRG_TEXT_H
#define JAVTRG_TEXT_H

#include "driver/host_services.h"

// Writes the "c" record of a TextAttributes; returns 1.
int32_t JAVtPutTextAttFont(DriverContext* context, TextAttributes* attributes);
// Writes one "u" record of a text; 1 also when there was nothing to write,
// 0 when the conversion failed.
int32_t JAVtPutTextUnits(DriverContext* context, const uint8_t* text, int32_t byteLength, int32_t encoding);

#endif
