// SPDX-License-Identifier: MIT
// Object lists of the reference host: circular lists of nodes with a head
// node that holds no object. Nodes and heads are blocks in the ledger.
#include <algorithm>
#include <cstring>
#include <string>

#include "host/reference_host.h"

namespace refhost {

namespace {

constexpr uint32_t kAppendIndex = 0xFFFFFFFFu;

HostListNode* newNode(ReferenceHost* host, HostObject* object, const char* origin) {
    auto* node = static_cast<HostListNode*>(host->allocateBlock(sizeof(HostListNode), true, origin));
    if (node == nullptr) return nullptr;
    node->next = node;
    node->prev = node;
    node->object = object;
    return node;
}

// Links `node` right in front of `before`.
void linkBefore(HostListNode* before, HostListNode* node) {
    node->prev = before->prev;
    node->next = before;
    before->prev->next = node;
    before->prev = node;
}

// Index 0: in front of the node *position designates, which then designates
// the new node. When `position` is a node's own address (its `next` link),
// that puts the new node right after that node. Index 0xFFFFFFFF: at the end
// of the list whose head *position holds, creating the head when absent.
int32_t opInsertObject(HostServices* s, HostListNode** position, HostObject* object, uint32_t index) {
    ReferenceHost* h = hostOf(s);
    h->log("insertObject " + std::to_string(index));
    if (h->shouldFail("insertObject") || position == nullptr) return 0;
    if (index == kAppendIndex) {
        bool created = *position == nullptr;
        if (created) {
            *position = newNode(h, nullptr, "list head");
            if (*position == nullptr) return 0;
        }
        HostListNode* node = newNode(h, object, "list node");
        if (node == nullptr) {
            if (created) {
                h->freeBlock(*position);
                *position = nullptr;
            }
            return 0;
        }
        linkBefore(*position, node);
        return 1;
    }
    if (index != 0 || *position == nullptr) return 0;
    HostListNode* node = newNode(h, object, "list node");
    if (node == nullptr) return 0;
    linkBefore(*position, node);
    *position = node;
    return 1;
}

HostObject* opPopObject(HostServices* s, HostListNode** list, int32_t) {
    ReferenceHost* h = hostOf(s);
    h->log("popObject");
    h->countCall("popObject");
    if (list == nullptr || *list == nullptr) return nullptr;
    HostListNode* head = *list;
    HostListNode* first = head->next;
    if (first == head) return nullptr;
    head->next = first->next;
    first->next->prev = head;
    HostObject* object = first->object;
    h->freeBlock(first);
    return object;
}

void opFreeList(HostServices* s, HostListNode* head) {
    ReferenceHost* h = hostOf(s);
    h->log("freeList");
    h->countCall("freeList");
    if (head == nullptr) return;
    HostListNode* node = head->next;
    while (node != head) {
        HostListNode* next = node->next;
        if (node->object != nullptr) h->releaseObject(node->object);
        h->freeBlock(node);
        node = next;
    }
    h->freeBlock(head);
}

constexpr int32_t kTextField = kHostObjectPayloadOffset + offsetof(TextStringData, text);

// The characters of a text string as the host holds them: the bytes of the
// block the object owns, `byteLength` of them (up to the first zero byte
// when it is 0 or less), never more than the block.
bool ownedText(ReferenceHost* h, HostObject* object, std::string* text) {
    const TextStringData* body = reinterpret_cast<const TextStringData*>(h->payload(object));
    const Attachment* block = h->attachedBlock(object, kTextField);
    if (body->text == nullptr || block == nullptr || block->target != body->text) return false;
    const char* bytes = reinterpret_cast<const char*>(body->text);
    if (body->byteLength > 0 && static_cast<uint64_t>(body->byteLength) > block->size) return false;
    size_t length = body->byteLength > 0 ? static_cast<size_t>(body->byteLength) : strnlen(bytes, block->size);
    text->assign(bytes, length);
    return true;
}

// True when byte offset p of the text falls between two characters (or at
// its end, also after a last character cut short) and k characters lie in
// front of it. Characters are 16-bit units in kEncodingUnits, else one byte or
// two when the session's isLeadByte says so.
bool characterPlace(ReferenceHost* h, const std::string& text, int32_t encoding, int64_t k, int64_t p) {
    auto length = static_cast<int64_t>(text.size());
    if (p < 0 || p > length || k < 0) return false;
    HostSession* session = h->session();
    int64_t offset = 0;
    int64_t characters = 0;
    while (offset < p) {
        bool twoBytes = encoding == kEncodingUnits ||
                        session->isLeadByte(session, static_cast<uint8_t>(text[static_cast<size_t>(offset)]), encoding) != 0;
        offset = std::min(offset + (twoBytes ? 2 : 1), length);
        ++characters;
    }
    return offset == p && characters == k;
}

// The text string of the node keeps the characters before byte offset p
// (character k); a new text string after the node holds the rest. Each
// owns a block of its bytes and two zero bytes; an empty front or rest is
// a string of no bytes. A split anywhere else than between two characters,
// of anything but a text string with a text of this host, is refused.
int32_t opSplitText(HostServices* s, HostListNode* node, int64_t charIndex, int64_t byteOffset) {
    ReferenceHost* h = hostOf(s);
    h->log("splitText " + std::to_string(charIndex) + " " + std::to_string(byteOffset));
    if (h->shouldFail("splitText") || node == nullptr || node->object == nullptr) return 0;
    HostObject* object = node->object;
    std::string text;
    if (object->kind != kKindTextString || !ownedText(h, object, &text)) return 0;
    auto* body = reinterpret_cast<TextStringData*>(h->payload(object));
    int32_t encoding = body->encoding != 0 ? body->encoding : h->session()->currentEncoding;
    if (!characterPlace(h, text, encoding, charIndex, byteOffset)) return 0;

    HostListNode* restNode = newNode(h, nullptr, "list node");
    if (restNode == nullptr) return 0;
    HostObject* rest = h->newObject(kKindTextString, h->objectInfo(object)->payloadSize);
    std::memcpy(h->payload(rest), body, h->objectInfo(object)->payloadSize);
    rest->clone = object->clone;
    auto front = static_cast<size_t>(byteOffset);
    h->replaceBlock(rest, kTextField, text.data() + front, text.size() - front, 2);
    reinterpret_cast<TextStringData*>(h->payload(rest))->byteLength = static_cast<int64_t>(text.size() - front);
    h->replaceBlock(object, kTextField, text.data(), front, 2);
    body->byteLength = byteOffset;
    restNode->object = rest;
    linkBefore(node->next, restNode);
    return 1;
}

}  // namespace

void installListOperations(HostServices* services) {
    services->insertObject = opInsertObject;
    services->popObject = opPopObject;
    services->freeList = opFreeList;
    services->splitText = opSplitText;
}

}  // namespace refhost
