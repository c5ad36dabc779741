// SPDX-License-Identifier: MIT
// Character sets of font descriptions, chosen from the host's text encoding.
#include "text/charset.h"

#include "text/text.h"

int32_t JAVtCurrentEncoding(const DriverContext* context) {
    return context->hostSession != nullptr ? context->hostSession->currentEncoding : 0;
}

void JAVtCharsetFromEncoding(const HostSession* session, uint8_t* charset) {
    *charset = JAVtCharsetForEncoding(session != nullptr ? session->currentEncoding : 0);
}

void JAVtResolveCharset(HostSession* session, uint8_t* charset) {
    if (session == nullptr) {
        *charset = kCharsetDefault;
        return;
    }
    int32_t current = session->currentEncoding;
    bool unicode = current >= kEncodingUnicodeFirst && current <= kEncodingUnicodeLast;
    if (session->fontEncoding != 0 && unicode) {
        session->currentEncoding = session->fontEncoding;
        JAVtCharsetFromEncoding(session, charset);
        session->currentEncoding = current;
    } else {
        JAVtCharsetFromEncoding(session, charset);
    }
}
