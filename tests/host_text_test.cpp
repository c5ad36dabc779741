// SPDX-License-Identifier: MIT
// Text services of the reference host: conversion to 16-bit units by
// encoding code, and the splitting of a text string in an object list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "host/reference_host.h"

namespace {

using refhost::ReferenceHost;

// convertToUnits from `encoding`: the units, or nothing when it failed.
std::optional<std::vector<uint32_t>> toUnits(ReferenceHost& host, int32_t encoding, const std::string& in) {
    HostSession* s = host.session();
    s->currentEncoding = encoding;
    std::vector<uint8_t> out(2 * in.size() + 2);
    TextSpan source{reinterpret_cast<const uint8_t*>(in.data()), static_cast<uint32_t>(in.size()), 0};
    TextSpan target{out.data(), static_cast<uint32_t>(out.size()), 0};
    if (s->convertToUnits(s, &source, &target, 63, 0) == 0) return std::nullopt;
    bool big = host.params()->bigEndianText != 0;
    std::vector<uint32_t> units;
    for (uint32_t i = 0; i + 1 < target.count; i += 2) units.push_back(big ? out[i] * 256u + out[i + 1] : out[i] + out[i + 1] * 256u);
    return units;
}

TEST(HostText, ConvertToUnitsByEncodingCodeReplacingWhatIsNotText) {
    using Units = std::vector<uint32_t>;
    const struct {
        int32_t encoding;
        std::string in;
        Units units;
    } cases[] = {
        {kEncodingWestern, "A\x80\x81", {0x41, 0x20AC, 63}}, {kEncodingShiftJis, "\x82\xa0\x82", {0x3042, 63}},  // a lead byte cut off
        {2, "\xc4\xe3", {0x4F60}},            {3, "\xa4\xa4", {0x4E2D}},
        {4, "\xb0\xa1", {0xAC00}},            {13, "\xc3", {0x102}},  // held back by the converter
        {41, "\xa1", {0xE01}},                {21, "\xe0", {0x5D0}},
        {31, "\xe1", {0x410}},                {kEncodingUtf8, "\xc3\xa9\xff", {0xE9, 63}},
    };
    for (int32_t big : {0, 1}) {
        for (const auto& c : cases) {
            ReferenceHost host;
            host.params()->bigEndianText = big;
            EXPECT_EQ(toUnits(host, c.encoding, c.in), c.units) << c.encoding << " big endian " << big;
        }
        ReferenceHost host;
        host.params()->bigEndianText = big;
        EXPECT_EQ(toUnits(host, kEncodingUnits, big ? std::string("\0A", 2) : std::string("A\0", 2)), Units{0x41});
    }
    ReferenceHost host;
    for (int32_t unknown : {0, 14, 99}) EXPECT_EQ(toUnits(host, unknown, "A"), std::nullopt) << unknown;
    host.failAt("convertToUnits", 1);
    EXPECT_EQ(toUnits(host, kEncodingWestern, "A"), std::nullopt);
}

// splitText leaves the front in the node and puts the rest in a new node
// after it, or refuses a place that is not between two characters.
TEST(HostLists, SplitTextAtCharacterPlacesOnly) {
    const struct {
        std::string text;
        int64_t byteLength;
        int32_t encoding;
        int64_t k, p;
        const char* front;  // nullptr: refused
        const char* rest;
    } cases[] = {
        {"abcd", 4, kEncodingWestern, 1, 1, "a", "bcd"},
        {"abcd", 0, kEncodingWestern, 4, 4, "abcd", ""},  // up to the zero byte; an empty rest
        {"abcd", 4, 0, 0, 0, "", "abcd"},  // an empty front; encoding 0 is the session's
        {"abcd", 3, kEncodingWestern, 3, 3, "abc", ""},
        {"abcd", 4, kEncodingWestern, 2, 1, nullptr, nullptr},  // the index does not name the place
        {"abcd", 4, kEncodingWestern, 5, 5, nullptr, nullptr},
        {"abcd", 4, kEncodingWestern, -1, -1, nullptr, nullptr},
        {"abcd", 9, kEncodingWestern, 1, 1, nullptr, nullptr},  // a length beyond the text's block
        {"a\x82\xa0" "b", 4, kEncodingShiftJis, 2, 3, "a\x82\xa0", "b"},
        {"a\x82\xa0" "b", 4, kEncodingShiftJis, 2, 2, nullptr, nullptr},  // inside a double-byte character
        {"ab\x82", 3, kEncodingShiftJis, 3, 3, "ab\x82", ""},  // after a last character cut short
        {std::string("a\0b\0", 4), 4, kEncodingUnits, 1, 2, "a", "b"},
        {std::string("a\0b\0", 4), 4, kEncodingUnits, 1, 1, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        ReferenceHost host;
        HostServices* s = host.services();
        HostObject* string = host.newObject(kKindTextString);
        reinterpret_cast<TextStringData*>(host.payload(string))->byteLength = c.byteLength;
        reinterpret_cast<TextStringData*>(host.payload(string))->encoding = c.encoding;
        host.attachBlock(string, 24 + offsetof(TextStringData, text), c.text.data(), c.text.size(), 2);
        HostListNode* list = nullptr;
        ASSERT_EQ(s->insertObject(s, &list, string, 0xFFFFFFFFu), 1);
        std::string what = c.text + " at " + std::to_string(c.p);
        const uint8_t* original = reinterpret_cast<TextStringData*>(host.payload(string))->text;
        ASSERT_EQ(s->splitText(s, list->next, c.k, c.p), c.front != nullptr ? 1 : 0) << what;
        if (c.front == nullptr) {
            EXPECT_TRUE(list->next->next == list && reinterpret_cast<TextStringData*>(host.payload(string))->text == original)
                << "a refused split changed the list: " << what;
        } else {
            std::vector<std::string> texts;
            for (HostListNode* n = list->next; n != list; n = n->next) {
                auto* body = reinterpret_cast<TextStringData*>(host.payload(n->object));
                auto length = static_cast<size_t>(body->byteLength);
                std::string bytes(reinterpret_cast<const char*>(body->text), length + 2);
                EXPECT_EQ(bytes.substr(length), std::string(2, '\0')) << "two zero bytes end each text";
                bytes.resize(length);
                if (c.encoding == kEncodingUnits) bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
                texts.push_back(bytes);
            }
            EXPECT_EQ(texts, (std::vector<std::string>{c.front, c.rest})) << what;
        }
        s->freeList(s, list);
        EXPECT_EQ(host.liveObjects() + host.liveBlocks(), 0u) << what;
    }
    ReferenceHost host;
    host.failAt("splitText", 1);
    HostListNode node{};
    EXPECT_EQ(host.services()->splitText(host.services(), &node, 0, 0), 0);
}

}  // namespace
