// Object lists of the reference host: circular lists of nodes with a head
// node that holds no object. Nodes and heads are blocks in the ledger.
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

// Splitting texts belongs to the highlighting pass, which does not cut hits
// out yet: the split is refused.
int32_t opSplitText(HostServices* s, HostListNode*, int64_t, int64_t) {
    ReferenceHost* h = hostOf(s);
    h->log("splitText");
    h->shouldFail("splitText");
    return 0;
}

}  // namespace

// Installed by installTextOperations.
void installListOperations(HostServices* services) {
    services->insertObject = opInsertObject;
    services->popObject = opPopObject;
    services->freeList = opFreeList;
    services->splitText = opSplitText;
}

}  // namespace refhost
