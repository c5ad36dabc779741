// SPDX-License-Identifier: MIT
// The element list: every picture converted into an element during the
// instance's life, by key, with the two texts that name its element. A
// picture filled again is placed from the list without converting it again.
#include <cstdint>
#include <cstring>

#include "driver/pictures.h"

namespace {

constexpr int32_t kInitialEntries = 5;
constexpr int32_t kGrowthEntries = 5;

// Copies at most 1023 characters of `text` and a NUL; an absent text is empty.
void JAVtStoreText(char (&entry)[kElementTextSize], const char* text) {
    size_t length = text != nullptr ? strnlen(text, kElementTextSize - 1) : 0;
    if (length > 0) std::memcpy(entry, text, length);
    entry[length] = '\0';
}

// Room for five more entries. The size handed to reallocate is a signed
// 32-bit value: a size beyond it is refused rather than passed on negative.
// On any refusal the list keeps its entries, count and capacity.
bool JAVtGrowElementList(HostServices* services, ElementList* list) {
    int64_t capacity = int64_t{list->capacity} + kGrowthEntries;
    int64_t bytes = capacity * static_cast<int64_t>(sizeof(ElementEntry));
    if (bytes > INT32_MAX) return false;
    void* grown = services->reallocate(services, list->entries, static_cast<int32_t>(bytes));
    if (grown == nullptr) return false;
    list->entries = static_cast<ElementEntry*>(grown);
    list->capacity = static_cast<int32_t>(capacity);
    return true;
}

}  // namespace

// A list whose entry block cannot be obtained is given back at once, so the
// context never holds a list without entries; the next fill tries again.
int32_t JAVtCreateElementList(DriverContext* context) {
    HostServices* services = context->hostServices;
    auto* list = static_cast<ElementList*>(services->allocateZeroed(services, 1, sizeof(ElementList)));
    if (list == nullptr) return 0;
    list->capacity = kInitialEntries;
    list->entries = static_cast<ElementEntry*>(services->allocateZeroed(services, kInitialEntries, sizeof(ElementEntry)));
    if (list->entries == nullptr) {
        services->freeBlock(services, list);
        return 0;
    }
    context->elementList = list;
    return 1;
}

extern "C" void AddElementToList(DriverContext* context, const char* textA, const char* textB, uint64_t key) {
    if (context == nullptr) return;
    ElementList* list = context->elementList;
    if (list == nullptr || list->entries == nullptr || list->count < 0 || list->count > list->capacity) return;
    if (list->count == list->capacity && !JAVtGrowElementList(context->hostServices, list)) return;
    ElementEntry* entry = &list->entries[list->count];
    list->count += 1;
    entry->key = key;
    JAVtStoreText(entry->textA, textA);
    JAVtStoreText(entry->textB, textB);
}

extern "C" int32_t CheckElementInList(DriverContext* context, uint64_t key) {
    if (context == nullptr) return kElementNotFound;
    const ElementList* list = context->elementList;
    if (list == nullptr || list->entries == nullptr) return kElementNotFound;
    for (int32_t i = 0; i < list->count; ++i) {
        if (list->entries[i].key == key) return i;
    }
    return kElementNotFound;
}
